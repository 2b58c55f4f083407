// The status-bar progress meter. Every meter shown is recorded (label, range, positions and
// whether it was taken down) so that tests can check what long work reported; on a terminal
// the meter is drawn as a bar on standard error.
#pragma once

#include <string>
#include <vector>

namespace host {

struct ProgressMeterRecord {
    std::string label;
    int minPos = 0;
    int maxPos = 0;
    std::vector<int> positions;  // every position set, clamped to the range, in order
    bool restored = false;       // acedRestoreStatusBar took it down
};

// Meters shown since the start (or the last clear), oldest first.
const std::vector<ProgressMeterRecord>& ProgressMeterHistory();
void ClearProgressMeterHistory();
// Whether a meter is showing now.
bool ProgressMeterActive();

// Long work of a component (a provider reading rows, platform/longwork.h): the last report
// of the running command, shown on the meter's line as "Reading rows... 12288".
struct LongWorkRecord {
    std::string what;
    long long done = 0;
    int reports = 0;
};
const LongWorkRecord& LastLongWork();
// Takes the report off the line when the command ends.
void EndLongWork();

// A window's status bar hears of every change of the meter and of the long-work line (a start,
// a position, a report, the end) and reads the state above; it may let the user's input in
// meanwhile (an Esc asks the running command to stop). nullptr stops it.
using ProgressListener = void (*)();
void SetProgressListener(ProgressListener listener);

// Draws the meter on standard error: on when standard error is a terminal, unless changed.
void SetProgressBarDrawing(bool draw);

}  // namespace host
