#include "runtime/error.h"

Error::~Error() = default;

const char *Error::what() const noexcept
{
    try {
        m_what = description().toUtf8();
    } catch (...) {
        return "error";
    }
    return m_what.constData();
}

QString describe(const std::exception &failure)
{
    if (const auto *own = dynamic_cast<const Error *>(&failure)) {
        return own->description();
    }
    return QString::fromUtf8(failure.what());
}
