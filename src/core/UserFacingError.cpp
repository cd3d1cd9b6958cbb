#include "UserFacingError.h"

const char* UserFacingError::what() const noexcept
{
    try {
        whatText = errorDescription().toUtf8();
    } catch (...) {
        return "error";
    }
    return whatText.constData();
}
