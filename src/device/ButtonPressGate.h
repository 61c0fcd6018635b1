#pragma once
// When a press of the enclosure's button runs the Backup command. The button is read by its
// level on every tick, and the command it runs may open a message box (a refusal) or a whole job;
// the message loops of both go on running the ticks. So: no command starts while one runs, and
// after a refusal in a message box the button has to be let go before it can ask again. A button
// held through a job still starts the next job once that one's window has closed.
namespace snapkeep {

class ButtonPressGate {
public:
    // A tick read the button (a failed read counts as released): answers whether to run the
    // command now.
    bool Tick(bool pressed);

    // The command runs from CommandBegins to CommandEnds, whether a tick or a click started it.
    void CommandBegins();
    void CommandEnds();
    // The command a press started said no in a message box (the volume cannot be read, the
    // Others text is empty or too long). Answering the box is no release: until a tick reads the
    // button released, a press starts nothing, or a held button would open the box again at once.
    void RefusedWithMessage();

    bool CommandRunning() const { return running_ > 0; }

private:
    int running_ = 0;             // commands in progress (a click's box can hold a tick's)
    bool waitForRelease_ = false; // a refusal was answered; no tick has read a release since
};

} // namespace snapkeep
