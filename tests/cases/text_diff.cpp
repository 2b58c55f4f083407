#include "text_diff.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace cases {

namespace {

// Each line with its line end, so that a missing last line end is a difference too.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(begin, end - begin));
        begin = end;
    }
    return lines;
}

struct Step {
    char mark;         // ' ', '-' or '+'
    std::size_t a, b;  // line indexes in expected and actual (the one the step is about)
};

// The shortest edit from a to b by the longest common subsequence of lines, after the common
// beginning and end are set aside. Beyond a size where the table would be large the middle
// is shown as removed and added whole: still correct, only less precise.
std::vector<Step> Edit(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;

    std::vector<Step> steps;
    for (std::size_t i = 0; i < head; ++i)
        steps.push_back({' ', i, i});
    constexpr std::uint64_t kMaxCells = 16'000'000;
    if (static_cast<std::uint64_t>(n + 1) * (m + 1) > kMaxCells) {
        for (std::size_t i = 0; i < n; ++i)
            steps.push_back({'-', head + i, head});
        for (std::size_t j = 0; j < m; ++j)
            steps.push_back({'+', head + n, head + j});
    } else {
        // lcs[i][j]: length of the longest common subsequence of a[i..n) and b[j..m).
        std::vector<std::uint32_t> lcs((n + 1) * (m + 1), 0);
        auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
            return lcs[i * (m + 1) + j];
        };
        for (std::size_t i = n; i-- > 0;)
            for (std::size_t j = m; j-- > 0;)
                at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1
                                                      : std::max(at(i + 1, j), at(i, j + 1));
        std::size_t i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && j < m && a[head + i] == b[head + j]) {
                steps.push_back({' ', head + i++, head + j++});
            } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
                steps.push_back({'-', head + i++, head + j});
            } else {
                steps.push_back({'+', head + i, head + j++});
            }
        }
    }
    for (std::size_t k = 0; k < tail; ++k)
        steps.push_back({' ', head + n + k, head + m + k});
    return steps;
}

std::string Shown(char mark, const std::string& line) {
    std::string text(1, mark);
    const bool ended = !line.empty() && line.back() == '\n';
    std::string body = ended ? line.substr(0, line.size() - 1) : line;
    if (!body.empty() && body.back() == '\r') {
        body.pop_back();
        body += "\\r";
    }
    text += body + "\n";
    if (!ended)
        text += "\\ No newline at end of text\n";
    return text;
}

// "@@ -start,count +start,count @@" with diff's numbering: an empty range starts at the line
// before it.
std::string Range(std::size_t first, std::size_t count) {
    const std::size_t start = count == 0 ? first : first + 1;
    return std::to_string(start) + (count == 1 ? "" : "," + std::to_string(count));
}

}  // namespace

std::string UnifiedDiff(const std::string& expected, const std::string& actual,
                        const std::string& expectedName, const std::string& actualName,
                        int context) {
    if (expected == actual)
        return "";
    const std::vector<std::string> a = Lines(expected), b = Lines(actual);
    const std::vector<Step> steps = Edit(a, b);
    const std::size_t reach = static_cast<std::size_t>(std::max(context, 0));

    std::string out = "--- " + expectedName + "\n+++ " + actualName + "\n";
    std::size_t k = 0;
    while (k < steps.size()) {
        // The next change, and the hunk around it: changes closer than twice the context
        // share one hunk.
        std::size_t first = k;
        while (first < steps.size() && steps[first].mark == ' ')
            ++first;
        if (first == steps.size())
            break;
        const std::size_t begin = first >= reach ? first - reach : 0;
        std::size_t end = first;
        std::size_t lastChange = first;
        while (end < steps.size()) {
            if (steps[end].mark != ' ')
                lastChange = end;
            else if (end - lastChange > 2 * reach)
                break;
            ++end;
        }
        end = std::min(steps.size(), lastChange + 1 + reach);

        std::size_t aCount = 0, bCount = 0;
        for (std::size_t s = begin; s < end; ++s) {
            aCount += steps[s].mark != '+';
            bCount += steps[s].mark != '-';
        }
        out +=
            "@@ -" + Range(steps[begin].a, aCount) + " +" + Range(steps[begin].b, bCount) + " @@\n";
        for (std::size_t s = begin; s < end; ++s) {
            const Step& step = steps[s];
            out += Shown(step.mark, step.mark == '+' ? b[step.b] : a[step.a]);
        }
        k = end;
    }
    return out;
}

}  // namespace cases
