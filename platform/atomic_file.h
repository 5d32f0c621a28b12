#pragma once
// Reading and atomically replacing whole files at native paths.
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zel::platform::detail {

// 0 when read, else the errno of the failure (ENOENT: no such file; EISDIR: a folder; EINVAL:
// anything else that is not a regular file, such as a FIFO or a device).
int ReadNative(const std::string& nativePath, std::string& bytes);
// As ReadNative, for the regular file open as `fd`, read from its start whatever the
// descriptor's position (the descriptor stays open).
int ReadDescriptor(int fd, std::string& bytes);
// As ReadNative, for a file this program wrote into a folder that others can write as well: a
// symbolic link under the name is never followed (EINVAL), and a file of more than `limit`
// bytes is refused by its size before any of it is read (EFBIG).
int ReadOwnNative(const std::string& nativePath, std::string& bytes, std::size_t limit);

// The tail of every temporary name this process writes: ".~zel-" + program + "@" + host + "-"
// + process number + "-" + a number unique within the process. Program, host and process
// number let a later start tell its own leftovers from another writer's (the request folder is
// shared with the agent, possibly on another machine).
std::string TemporaryTail();
// The part of TemporaryTail() before the process number, for this program on this host.
std::string TemporaryTagOfThisProgram();

// 0, or the errno of the failure: all of `bytes` written to `fd`, and `fd`'s contents forced to
// disk; both go on when a signal cuts them short.
int WriteAll(int fd, std::string_view bytes);
int SyncDescriptor(int fd);
// Whether the native name itself (not what a link under it points to) carries the file of that
// device and inode.
bool NameCarries(const std::string& nativePath, unsigned long long dev, unsigned long long ino);

// 0, or the errno of the failed attempt to lock the byte at `start` of `fd` without waiting
// (an open-file-description lock: it ends with the last descriptor of that open file).
int LockByte(int fd, short type, off_t start);

// A temporary file is held by its writer, with a lock of the operating system, from just after
// it is made until it is renamed or removed: a start-up that finds one judges by that lock
// whether it is a leftover, on this machine and on any other that shares the folder (another
// machine may carry the same host name and process numbers).
// HoldTemporary: true when the temporary just made as `fd` under `nativePath` is this
// writer's (held now, or the file system takes no locks); false when a start-up took it for a
// leftover, and it goes.
bool HoldTemporary(int fd, const std::string& nativePath);
// For the start-up, on a temporary it opened (for reading is enough): -1 when a live writer
// holds it; 1 when `fd` now holds it against its writer until `fd` is closed (it may go);
// 0 when the file system takes no locks (only its process number can tell).
int TakeLeftover(int fd);

// Writes `bytes` to a new file beside `nativePath` (a name no poller matches: the target name,
// cut short where it must be, followed by TemporaryTail()) and renames it over the
// target, so readers see the old or the new document, never a part. With `durable` the new
// contents and the rename are forced to disk before returning, so a power loss cannot take
// back a write the caller acted on.
// Returns 0 or the errno of the failure.
int ReplaceNative(const std::string& nativePath, const std::string& bytes, bool durable = false);

}  // namespace zel::platform::detail
