// Limits the size of files this process writes, as a full disk would: a write past the limit
// fails with EFBIG instead of raising SIGXFSZ. Restored when the object goes away. While it is
// in force, nothing may be logged to a file (a captured stderr included).
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace odel::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace odel::test
