#include "ErrorText.h"

#include "CancellationError.h"
#include "UserFacingError.h"

#include <filesystem>
#include <system_error>

namespace ErrorText {

static QString fileSystemSentence(const std::filesystem::filesystem_error& error)
{
    QString text = QString::fromStdString(error.code().message());
    if (!error.path1().empty())
        text += QStringLiteral(": ") + QString::fromStdString(error.path1().string());
    return text;
}

std::optional<QString> sentence(std::exception_ptr error)
{
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return std::nullopt;
    } catch (const UserFacingError& e) {
        return e.errorDescription();
    } catch (const std::filesystem::filesystem_error& e) {
        return fileSystemSentence(e);
    } catch (const std::system_error& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

} // namespace ErrorText
