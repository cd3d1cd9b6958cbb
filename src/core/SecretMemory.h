#pragma once

#include <QByteArray>
#include <QString>
#include <utility>

// Passwords held in this process: the copies the engines make are overwritten once sent, and the
// process refuses core dumps and the inspection of its memory by other processes of the same
// user, as ssh-agent does.
namespace SecretMemory {

// Overwrites the characters in place (detached copies elsewhere are not touched) and empties it.
void wipe(QByteArray& bytes);
void wipe(QString& text);

// For the first lines of a program's main.
void protectProcess();

// A copy of a secret that is wiped when it goes, however its scope ends.
class Copy {
public:
    explicit Copy(QString text) : value(std::move(text)) {}
    ~Copy() { wipe(value); }
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    const QString& text() const { return value; }

private:
    QString value;
};

} // namespace SecretMemory
