#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every error whose text is meant for the user: the engines' errors derive from it so
// that the one function turning errors into sentences needs no knowledge of the higher layers.
class UserFacingError : public std::exception {
public:
    // Looked up at the moment it is asked for, so it follows the current interface language.
    virtual QString errorDescription() const = 0;
    const char* what() const noexcept override;

private:
    mutable QByteArray whatText;
};
