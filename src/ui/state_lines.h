#pragma once

#include <QObject>
#include <QTimer>
#include <string>

namespace clipmill {
class Program;
}

namespace clipmill::ui {

// One line on standard error for each moment that whoever started the program may wait
// for, as the end-to-end tests do instead of guessing with pauses:
//
//   account list loaded: N accounts   a load of the account list has ended
//   run started / run stopping        Start or Stop was pressed (button or hot key)
//   run pass ended                    the run finished a pass over the list and pauses
//   run ended                         the run's worker has ended, stopped or done
//   open button shown                 the start-up window offers the downloaded update
//
// The run log is the user's record and stays as it is; these lines go nowhere else.
void announceState(const std::string& line);

// Watches the program for the moments above that the window does not cause itself.
class StateLines : public QObject {
public:
    StateLines(Program& program, QObject* parent);
    ~StateLines() override;

    // After each press of Start/Stop: announces it and watches for the worker's end.
    void runToggled();

private:
    void checkWorker();

    Program& program_;
    QTimer workerWatch_;
    int listListener_ = 0;
    int stateListener_ = 0;
};

}  // namespace clipmill::ui
