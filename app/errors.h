#pragma once
// The program's error type: a message meant for the operator. Handlers let it
// propagate; the guard around every event handler shows it in an error box.
#include <QString>
#include <stdexcept>

class TError : public std::runtime_error {
public:
    explicit TError(const QString &message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    const QString &message() const { return Message; }

private:
    QString Message;
};
