#pragma once

#include <QString>

#include <exception>

// Base of every error the program throws. `description()` is a finished, user-facing sentence that screens show
// as they are; it never carries a token, password or code.
class Error : public std::exception
{
public:
    ~Error() override;

    virtual QString description() const = 0;

    // For std::exception consumers (test failure messages, terminate handlers): the description in UTF-8.
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// The user-facing description of any failure: ours carry one, anything else gets its what() text.
QString describe(const std::exception &failure);
