#pragma once
// A Linux file system mounted on a folder of the tests for as long as this lives, unmounted
// at the end (which also ends a FUSE program serving it). Mounting needs the right to mount
// (root on the Linux side); without it mounted() is false and error() says why.
#include <string>

struct LinuxCommandResult;

class MountedFolder {
 public:
  MountedFolder(const MountedFolder&) = delete;
  MountedFolder& operator=(const MountedFolder&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& error() const { return m_error; }

 protected:
  // `folder` is a Windows path under Wine; it is made when missing. Nothing is mounted yet.
  explicit MountedFolder(const std::string& folder);
  ~MountedFolder();

  // The folder's Linux path; empty (and error() set) when it has none.
  const std::string& UnixFolder() const { return m_unixFolder; }
  // Takes how the command that mounts ended: `what` names it in error().
  void TakeMountResult(const LinuxCommandResult& result, const std::string& what);
  void Fail(const std::string& error) { m_error = error; }

 private:
  std::string m_unixFolder;
  bool m_mounted = false;
  std::string m_error;
};
