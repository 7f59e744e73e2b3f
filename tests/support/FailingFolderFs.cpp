// failing_folder_fs: a Linux program (FUSE) that shows a folder of the host through a mount
// point and fails it on demand, the way a folder fails under a running recording on Windows:
// a pulled drive or a network share that went away, or a folder that turned read-only.
// Under Wine a deleted folder leaves the open file writable, so only a file system of the
// tests' own makes the writes really fail.
//
//   failing_folder_fs STORE CONTROL MOUNTPOINT [FUSE options]
//
// STORE holds the files. CONTROL is a file whose first word, read again at every operation,
// is the fault now: "none" (or a missing file) passes everything through; "gone" fails
// every operation, also on files already open, with ENOENT; "unwritable" fails everything
// that would change the folder or a file with EACCES and lets reading and listing through;
// "failing" fails every operation with EIO. Without -f the program returns once mounted and
// serves in the background until the mount point is unmounted.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_store = -1;
std::string g_control;

enum class Access { Read, Change };

// 0 when the operation may go on, else the negative error it fails with.
int Fault(Access access) {
  char word[16] = {};
  if (FILE* control = std::fopen(g_control.c_str(), "r")) {
    if (std::fscanf(control, "%15s", word) != 1) word[0] = '\0';
    std::fclose(control);
  }
  if (std::strcmp(word, "gone") == 0) return -ENOENT;
  if (std::strcmp(word, "failing") == 0) return -EIO;
  if (std::strcmp(word, "unwritable") == 0 && access == Access::Change) return -EACCES;
  return 0;
}

// The path inside the store ("/a/b" -> "a/b", "/" -> ".").
const char* Relative(const char* path) {
  while (*path == '/') ++path;
  return *path ? path : ".";
}

int Result(ssize_t value) { return value < 0 ? -errno : static_cast<int>(value); }

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  if (int fault = Fault(Access::Read)) return fault;
  if (fi) return Result(fstat(static_cast<int>(fi->fh), st));
  return Result(fstatat(g_store, Relative(path), st, AT_SYMLINK_NOFOLLOW));
}

int CheckAccess(const char* path, int mask) {
  if (int fault = Fault((mask & W_OK) ? Access::Change : Access::Read)) return fault;
  return Result(faccessat(g_store, Relative(path), mask, 0));
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
  if (int fault = Fault(Access::Read)) return fault;
  const int fd = openat(g_store, Relative(path), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return -errno;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    const int error = errno;
    close(fd);
    return -error;
  }
  while (dirent* entry = readdir(dir)) {
    struct stat st {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(entry->d_type) << 12;
    if (fill(buffer, entry->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0))) break;
  }
  closedir(dir);
  return 0;
}

bool Writes(int flags) { return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_TRUNC | O_CREAT)); }

int Open(const char* path, fuse_file_info* fi) {
  if (int fault = Fault(Writes(fi->flags) ? Access::Change : Access::Read)) return fault;
  const int fd = openat(g_store, Relative(path), fi->flags & ~O_NOFOLLOW);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  const int fd = openat(g_store, Relative(path), fi->flags | O_CREAT, mode);
  if (fd < 0) return -errno;
  fi->fh = static_cast<uint64_t>(fd);
  return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  if (int fault = Fault(Access::Read)) return fault;
  return Result(pread(static_cast<int>(fi->fh), buffer, size, offset));
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  return Result(pwrite(static_cast<int>(fi->fh), buffer, size, offset));
}

int Flush(const char*, fuse_file_info*) { return Fault(Access::Read); }

int Fsync(const char*, int, fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  return Result(fsync(static_cast<int>(fi->fh)));
}

// Closing cannot be refused.
int Release(const char*, fuse_file_info* fi) {
  close(static_cast<int>(fi->fh));
  return 0;
}

int Truncate(const char* path, off_t size, fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  if (fi) return Result(ftruncate(static_cast<int>(fi->fh), size));
  const int fd = openat(g_store, Relative(path), O_WRONLY);
  if (fd < 0) return -errno;
  const int result = Result(ftruncate(fd, size));
  close(fd);
  return result;
}

int Unlink(const char* path) {
  if (int fault = Fault(Access::Change)) return fault;
  return Result(unlinkat(g_store, Relative(path), 0));
}

int MakeDir(const char* path, mode_t mode) {
  if (int fault = Fault(Access::Change)) return fault;
  return Result(mkdirat(g_store, Relative(path), mode));
}

int RemoveDir(const char* path) {
  if (int fault = Fault(Access::Change)) return fault;
  return Result(unlinkat(g_store, Relative(path), AT_REMOVEDIR));
}

int Rename(const char* from, const char* to, unsigned int flags) {
  if (int fault = Fault(Access::Change)) return fault;
  if (flags) return -EINVAL;
  return Result(renameat(g_store, Relative(from), g_store, Relative(to)));
}

int ChangeMode(const char* path, mode_t mode, fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  if (fi) return Result(fchmod(static_cast<int>(fi->fh), mode));
  return Result(fchmodat(g_store, Relative(path), mode, 0));
}

int ChangeTimes(const char* path, const timespec times[2], fuse_file_info* fi) {
  if (int fault = Fault(Access::Change)) return fault;
  if (fi) return Result(futimens(static_cast<int>(fi->fh), times));
  return Result(utimensat(g_store, Relative(path), times, AT_SYMLINK_NOFOLLOW));
}

int StatFs(const char*, struct statvfs* st) {
  if (int fault = Fault(Access::Read)) return fault;
  return Result(fstatvfs(g_store, st));
}

// Every request reaches this program: nothing that could hide a fault is cached.
void* Init(fuse_conn_info*, fuse_config* config) {
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  config->use_ino = 1;
  return nullptr;
}

fuse_operations Operations() {
  fuse_operations ops{};
  ops.getattr = GetAttr;
  ops.access = CheckAccess;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.create = Create;
  ops.read = Read;
  ops.write = Write;
  ops.flush = Flush;
  ops.fsync = Fsync;
  ops.release = Release;
  ops.truncate = Truncate;
  ops.unlink = Unlink;
  ops.mkdir = MakeDir;
  ops.rmdir = RemoveDir;
  ops.rename = Rename;
  ops.chmod = ChangeMode;
  ops.utimens = ChangeTimes;
  ops.statfs = StatFs;
  ops.init = Init;
  return ops;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s STORE CONTROL MOUNTPOINT [FUSE options]\n", argv[0]);
    return 2;
  }
  g_store = open(argv[1], O_RDONLY | O_DIRECTORY);
  if (g_store < 0) {
    std::perror(argv[1]);
    return 1;
  }
  // The daemon changes its working folder to /: the store stays open by descriptor and the
  // control file is named from the root.
  g_control = argv[2];
  if (g_control[0] != '/') {
    char folder[PATH_MAX];
    if (!getcwd(folder, sizeof folder)) {
      std::perror("getcwd");
      return 1;
    }
    g_control = std::string(folder) + "/" + g_control;
  }
  argv[2] = argv[0];
  static const fuse_operations ops = Operations();
  return fuse_main(argc - 2, argv + 2, &ops, nullptr);
}
