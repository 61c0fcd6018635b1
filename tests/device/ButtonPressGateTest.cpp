// When a press of the enclosure's button runs the Backup command: ticks read the button by its
// level, and the command's own message box or job runs further ticks inside it.
#include "device/ButtonPressGate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace snapkeep;

namespace {

// One step of a run: a tick that reads the button ('P' pressed, 'r' released), the command
// beginning or ending ('[' and ']'), or a refusal shown in a box ('!'). The expected letters say,
// for each tick, whether it ran the command ('1') or not ('0').
struct PressRun {
    const char* name;
    const char* steps;
    const char* ranAtTicks;
};

const PressRun kRuns[] = {
    {"a held button runs the command on every tick while nothing runs", "PPP", "111"},
    {"released: nothing", "rr", "00"},
    {"ticks inside the command's box or job start nothing", "[PPP]", "000"},
    {"held through a job: the next job at the first tick after it", "[PP]P", "001"},
    {"a refusal answered while held: nothing until a release", "[P!]PPrP", "00001"},
    {"released inside the box: the next press asks again", "[r!]rP", "001"},
    {"pressed again after the release: one more box", "[!]Pr[!]PrP", "00001"},
    {"a click's command holds the button's ticks too", "[P[P]P]P", "0001"},
};

std::string Replay(const char* steps) {
    ButtonPressGate gate;
    std::string ran;
    for (const char* s = steps; *s; ++s) {
        switch (*s) {
        case 'P':
        case 'r':
            ran += gate.Tick(*s == 'P') ? '1' : '0';
            break;
        case '[':
            gate.CommandBegins();
            break;
        case ']':
            gate.CommandEnds();
            break;
        case '!':
            gate.RefusedWithMessage();
            break;
        default:
            ADD_FAILURE() << "unknown step " << *s;
        }
    }
    return ran;
}

TEST(ButtonPressGate, RunsTheCommandOncePerPressAndNeverInsideItself) {
    for (const PressRun& run : kRuns)
        EXPECT_EQ(Replay(run.steps), run.ranAtTicks) << run.name << ": " << run.steps;
}

} // namespace
