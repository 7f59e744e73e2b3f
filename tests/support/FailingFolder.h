#pragma once
// A folder that a test can make fail under a running program, as a pulled drive, a network
// share that went away or a folder turned read-only fails on Windows: a file system of the
// tests' own (failing_folder_fs, a FUSE program beside the test executables) mounted on the
// folder for as long as this lives, its files kept in a store folder beside it. It needs the
// FUSE program (built where libfuse3 is installed) and the right to mount (root on the Linux
// side); without them mounted() is false and error() says why.
#include <string>

#include "support/MountedFolder.h"

enum class FolderFault { None, Gone, Unwritable, Failing };

class FailingFolder : public MountedFolder {
 public:
  // `folder` and `store` are Windows paths under Wine; both are made when missing.
  FailingFolder(const std::string& folder, const std::string& store);

  // From the next operation on, the folder fails as `fault` says (None: it works again).
  // Gone: everything, open files too, fails as if nothing were there; Unwritable: whatever
  // would change the folder or a file is refused; Failing: everything fails with an I/O error.
  void Set(FolderFault fault);

 private:
  std::string m_control;
};
