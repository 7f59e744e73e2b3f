#pragma once
// Checked writes, offered by the WAV writer filter.
//
// Windows' File Writer fails a sample it could not write (a full disk, a removed drive),
// and the WAV writer then stops the recording with EC_ERRORABORT, keeping the header it
// wrote last. Wine's File Writer reports success for a write that failed or fell short, so
// the writer would count samples the file does not hold. Told the file's name, the writer
// opens the file for its size alone (the File Writer shares it for reading and writing) and
// after every write checks that the file reaches the written bytes' end; a file that falls
// short, or whose size can no longer be read, is a failed write.
#include <strmif.h>

struct IWrittenFileCheck : public IUnknown {
  // The file the File Writer downstream writes; taken while stopped, for the next runs.
  virtual HRESULT STDMETHODCALLTYPE CheckWritesTo(LPCOLESTR path) = 0;
};
__CRT_UUID_DECL(IWrittenFileCheck, 0x98adaccf, 0x7098, 0x450d, 0xb3, 0xc5, 0x7c, 0x69, 0x02, 0x7b, 0xa5, 0x41)
