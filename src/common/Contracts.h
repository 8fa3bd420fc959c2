#pragma once

// Design-by-contract checks. A true condition costs one branch: the context
// is a string view, so nothing is built or allocated unless the check fails.

#include "common/Exceptions.h"

#include <QAnyStringView>
#include <memory>

class EPreConditions : public Exception
{
public:
    explicit EPreConditions(const QString &context);
};

class EPostConditions : public Exception
{
public:
    explicit EPostConditions(const QString &context);
};

// Raised by a method that a descendant must override.
class EPseudoAbstract : public Exception
{
public:
    explicit EPseudoAbstract(const QString &methodName);
};

// No checker installed when a contract is checked: a programming error.
class EAssertionFailed : public Exception
{
public:
    using Exception::Exception;
};

class IDbCChecking
{
public:
    virtual ~IDbCChecking() = default;
    virtual void CheckPostConditions(bool condition, QAnyStringView context) = 0;
    virtual void CheckPreConditions(bool condition, QAnyStringView context) = 0;
};

// Calls the alert only for a false condition; the alerts themselves are
// left to descendants.
class TCustomDbCChecking : public IDbCChecking
{
public:
    void CheckPostConditions(bool condition, QAnyStringView context) override;
    void CheckPreConditions(bool condition, QAnyStringView context) override;

protected:
    virtual QString ClassName() const { return QStringLiteral("TCustomDbCChecking"); }
    virtual void PostConditionBreakAlert(const QString &context);
    virtual void PreConditionBreakAlert(const QString &context);
};

class TDbCCheckingWithException : public TCustomDbCChecking
{
protected:
    QString ClassName() const override { return QStringLiteral("TDbCCheckingWithException"); }
    void PostConditionBreakAlert(const QString &context) override;
    void PreConditionBreakAlert(const QString &context) override;
};

// The program-wide checker; a TDbCCheckingWithException from start to end.
// Tests may install another one (or none) and must put the old one back.
std::shared_ptr<IDbCChecking> DbCChecker();
void SetDbCChecker(std::shared_ptr<IDbCChecking> checker);

namespace dbc_detail {
[[noreturn]] void NoChecker(const char *function, int line, const char *formatKind);
void Forward(bool post, bool condition, QAnyStringView context);
} // namespace dbc_detail

inline void CheckPreConditions(bool condition, QAnyStringView context)
{
    if (condition) [[likely]]
        return;
    dbc_detail::Forward(false, condition, context);
}

inline void CheckPostConditions(bool condition, QAnyStringView context)
{
    if (condition) [[likely]]
        return;
    dbc_detail::Forward(true, condition, context);
}
