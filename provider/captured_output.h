// Keeps what a library prints on standard output and standard error out of the user's output.
// The Access reader reports every damaged page it meets there, often hundreds of lines, before
// its caller can report one clear error.
#pragma once

#include <string>

namespace provider {

// While alive, standard output and standard error go to a private buffer; the previous ones
// come back when the outermost capture ends. Captures nest, and one thread at a time holds
// them (the others wait). Meant for short library calls: whatever the process prints
// meanwhile is captured as well.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    // What was printed so far in this capture, shortened for an error's description: empty
    // when nothing was, else " The reader reported: \"first line\"" with the count of further
    // lines.
    std::string Summary() const;

private:
    long m_start = 0;  // where this capture's text begins in the buffer
};

}  // namespace provider
