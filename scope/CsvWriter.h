// The recording: a CSV file with a header of the sampled inputs and one row per sweep, each
// row written with one write() as soon as it is complete, so a killed recording keeps every
// finished sweep. A failed write (full disk, removed folder, size limit) stops the file for
// good and says why; what was written stays.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "scope/Sampler.h"

namespace odel::scope {

// "2026-12-09T16:47:51.123+01:00": local time with milliseconds and the UTC offset.
std::string IsoLocalTime(std::chrono::system_clock::time_point t);

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

class CsvWriter {
  public:
    CsvWriter() = default;
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    // Creates (truncates) the file. False with Error() set when it cannot.
    bool Open(const std::string& path);
    // Writes to a descriptor the caller keeps open (stdout).
    void Attach(int fd);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // "time", one column per input, "note".
    bool WriteHeader(const std::vector<std::string>& columns);
    // The time, every sample's text (empty for a failed read), an empty note.
    bool WriteSweep(const SweepRecord& sweep);
    // A row of the time, empty cells and the note.
    bool WriteMark(std::chrono::system_clock::time_point t, const std::string& note);

    // errno of the failure that stopped the file (0 while it is fine), and its text.
    int Error() const { return error_; }
    std::string ErrorText() const;

  private:
    bool WriteLine(const std::string& line);

    int fd_ = -1;
    bool own_ = false;
    int error_ = 0;
    std::size_t columns_ = 0;
    std::size_t written_ = 0;  // bytes of whole rows in the file
};

}  // namespace odel::scope
