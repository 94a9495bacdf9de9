// What the program tells about its key source at start: the notice (what the
// source cannot see) or the problem (nothing can be read), once per change
// of the situation, and, where the input devices could count every key, the
// button that lets the person at the seat read them (the helper, through
// pkexec). Nothing is told twice for the same situation: the last one told
// is kept in a small file with the program's other files.
#pragma once

#include <QString>
#include <string>

class QMessageBox;
class QWidget;

namespace pressory::app {

// The file beside the history that keeps the situation told last.
inline constexpr const char* kToldSituationFileName = "PressoryKeySource.txt";

// Whether the notice of `situation` is to be told now: it has something to
// tell and differs from the situation kept in `path`. A changed situation
// is kept there from now on; one with nothing to tell only where the file
// exists already (a desktop where nothing needs telling gets no file). A
// file that cannot be read counts as nothing told; one that cannot be
// written means the notice comes again next time.
bool tellSituation(const std::string& path, const std::string& situation, bool somethingToTell);

// The helper that enables the uaccess rule, where the package installs it
// (libexec/pressory/ beside the program's bin/); empty when it is not there
// or the system has no pkexec to run it.
QString inputAccessHelper();

// The text of the notice or problem `told`, with how to let the program read
// the devices when `offersDevices`: the button of `helper`, or the `input`
// group without one.
QString keySourceNoticeText(const std::string& told, bool offersDevices, const QString& helper);

// Shows the box without waiting for it (a stop request still ends the
// program while it is open); with `helper`, its button runs the helper and
// tells the person only if that failed.
QMessageBox* showKeySourceNotice(bool critical, const QString& text, const QString& helper);

}  // namespace pressory::app
