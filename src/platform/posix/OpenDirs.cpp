#include "OpenDirs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tvx {

PosixDir::~PosixDir() {
  Close();
}

int PosixDir::Fd() {
  if (fd_ >= 0) return fd_;
  // Find the nearest open ancestor, then open downwards from there.
  std::vector<PosixDir*> chain;
  for (PosixDir* d = this; d && d->fd_ < 0; d = d->parent_) chain.push_back(d);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    PosixDir* d = *it;
    d->fd_ = d->OpenHere();
    // Out of descriptors (a low limit): give back those kept for later.
    while (d->fd_ < 0 && (errno == EMFILE || errno == ENFILE) && dirs_.CloseOldest(d->parent_))
      d->fd_ = d->OpenHere();
    if (d->fd_ < 0) return -1;
    d->Opened();
  }
  return fd_;
}

int PosixDir::OpenHere() const {
  // A subdirectory must not be swapped for a link while the scan runs.
  return parent_
             ? openat(parent_->fd_, name_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
             : open(name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool OpenDirs::CloseOldest(PosixDir* keep) {
  for (PosixDir* dir : open) {
    if (dir != keep) {
      dir->Close();
      return true;
    }
  }
  return false;
}

void PosixDir::Opened() {
  dirs_.open.push_back(this);
  self_ = std::prev(dirs_.open.end());
  if (dirs_.open.size() > OpenDirs::kLimit) {
    // The oldest descriptor belongs to a directory near the top of the walk:
    // it is needed again only when the walk comes back up to it.
    PosixDir* oldest = dirs_.open.front();
    if (oldest != this && oldest != parent_) oldest->Close();
  }
}

void PosixDir::Close() {
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  dirs_.open.erase(self_);
}

}  // namespace tvx
