#pragma once
// Composes the name of every recording from the path template, the four-digit sequence
// number (when `AddSeqNum` is on) and the current format's extension.

#include <cstdint>
#include <string>

#include "recorder/PathProbe.h"

class COutputFileName {
 public:
  // `moduleDirectory` is the executable's folder, used wherever the template is empty.
  COutputFileName(std::string extension, std::string moduleDirectory, PathProbe probe = ProbePath);

  enum SetTemplateResult { TemplateSet = 0, FolderMissing = 1, NoBackslash = 2 };

  // Normalises `path` into the template. On success the sequence number becomes `number`
  // limited to 1..9999 and `FileTemplate` is written; on failure the template is emptied
  // and the number and `FileTemplate` stay. `FileCount` is never written here.
  int SetTemplate(const std::string& path, uint32_t number);
  void SetExtension(const std::string& extension) { m_extension = extension; }
  std::string GetFileName() const;

  uint32_t SequenceNumber() const { return m_sequenceNumber; }
  // The next number, 9999 wrapping to 1, written to `FileCount` at once.
  void AdvanceSequenceNumber();
  // Back to 1, written to `FileCount` at once.
  void ResetSequenceNumber();
  // Sets the number as given, without writing `FileCount`.
  void SetSequenceNumber(uint32_t number) { m_sequenceNumber = number; }

  const std::string& Template() const { return m_template; }
  const std::string& Extension() const { return m_extension; }

 private:
  std::string m_extension;
  std::string m_template;
  uint32_t m_sequenceNumber = 1;
  std::string m_moduleDirectory;
  PathProbe m_probe;
};

// Whether `path` reaches a device instead of a file: a path in the device namespace ("\\.\")
// or a last part that Windows keeps for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9,
// CONIN$, CONOUT$; any case, with or without an extension, trailing spaces ignored).
// Whatever is recorded there is lost.
bool NamesDevice(const std::string& path);
