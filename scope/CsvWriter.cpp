#include "scope/CsvWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace odel::scope {

std::string IsoLocalTime(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    std::time_t secs = static_cast<std::time_t>(ms / 1000);
    long milli = static_cast<long>(ms % 1000);
    if (milli < 0) {
        milli += 1000;
        --secs;
    }
    std::tm tm{};
    localtime_r(&secs, &tm);
    const long offset = tm.tm_gmtoff / 60;
    const long absOffset = offset < 0 ? -offset : offset;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03ld%c%02ld:%02ld",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  milli, offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return buf;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string q = "\"";
    for (char c : text) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

CsvWriter::~CsvWriter() {
    Close();
}

bool CsvWriter::Open(const std::string& path) {
    Close();
    // A file-size limit must end in an error we report, not kill the program.
    std::signal(SIGXFSZ, SIG_IGN);
    error_ = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    own_ = true;
    written_ = 0;
    return true;
}

void CsvWriter::Attach(int fd) {
    Close();
    std::signal(SIGXFSZ, SIG_IGN);
    error_ = 0;
    fd_ = fd;
    own_ = false;
}

void CsvWriter::Close() {
    if (fd_ >= 0 && own_) ::close(fd_);
    fd_ = -1;
    own_ = false;
}

std::string CsvWriter::ErrorText() const {
    return error_ ? std::strerror(error_) : std::string();
}

bool CsvWriter::WriteLine(const std::string& line) {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : ENOSPC;
            // A row cut short is taken back, so the file ends with the last whole row.
            if (done > 0 && own_) {
                const int rc = ::ftruncate(fd_, static_cast<off_t>(written_));
                (void)rc;  // the write error is what gets reported
            }
            Close();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += line.size();
    return true;
}

bool CsvWriter::WriteHeader(const std::vector<std::string>& columns) {
    columns_ = columns.size();
    std::string line = "time";
    for (const auto& c : columns) line += "," + CsvField(c);
    return WriteLine(line + ",note\n");
}

bool CsvWriter::WriteSweep(const SweepRecord& sweep) {
    std::string line = IsoLocalTime(sweep.time);
    for (const Sample& s : sweep.samples) line += "," + CsvField(s.ok ? s.text : std::string());
    return WriteLine(line + ",\n");
}

bool CsvWriter::WriteMark(std::chrono::system_clock::time_point t, const std::string& note) {
    std::string line = IsoLocalTime(t);
    for (std::size_t i = 0; i < columns_; ++i) line += ",";
    return WriteLine(line + "," + CsvField(note.empty() ? std::string("mark") : note) + "\n");
}

}  // namespace odel::scope
