#pragma once

#include <array>
#include <streambuf>
#include <system_error>

namespace ferrocase::cli {

// A buffer for a file descriptor that remembers why a write failed, so that the program can
// say so when it ends; later output after a failure is dropped.
class CheckedOutput : public std::streambuf {
public:
    explicit CheckedOutput(int descriptor);
    ~CheckedOutput() override;

    // The first write error, once everything held back has been written or failed.
    std::error_code finish();

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    int descriptor_;
    std::array<char, 4096> buffer_{};
    std::error_code error_;
};

} // namespace ferrocase::cli
