#include "common/Contracts.h"

#include <mutex>

namespace {

QString PreFormat(const QString &context)
{
    return QStringLiteral("%1. Предусловия не выполнены.").arg(context);
}
QString PostFormat(const QString &context)
{
    return QStringLiteral("%1. Постусловия не выполнены.").arg(context);
}

std::mutex checkerMutex;
std::shared_ptr<IDbCChecking> &CheckerSlot()
{
    static std::shared_ptr<IDbCChecking> checker = std::make_shared<TDbCCheckingWithException>();
    return checker;
}

} // namespace

EPreConditions::EPreConditions(const QString &context) : Exception(PreFormat(context)) {}
EPostConditions::EPostConditions(const QString &context) : Exception(PostFormat(context)) {}
EPseudoAbstract::EPseudoAbstract(const QString &methodName)
    : Exception(QStringLiteral("%1. Абстрактный метод. Должен быть переопределен в наследниках").arg(methodName))
{}

void TCustomDbCChecking::CheckPostConditions(bool condition, QAnyStringView context)
{
    if (!condition)
        PostConditionBreakAlert(context.toString());
}

void TCustomDbCChecking::CheckPreConditions(bool condition, QAnyStringView context)
{
    if (!condition)
        PreConditionBreakAlert(context.toString());
}

void TCustomDbCChecking::PostConditionBreakAlert(const QString &)
{
    throw EPseudoAbstract(ClassName() + QStringLiteral(".PostConditionBreakAlert"));
}

void TCustomDbCChecking::PreConditionBreakAlert(const QString &)
{
    throw EPseudoAbstract(ClassName() + QStringLiteral(".PreConditionBreakAlert"));
}

void TDbCCheckingWithException::PostConditionBreakAlert(const QString &context)
{
    throw EPostConditions(context);
}

void TDbCCheckingWithException::PreConditionBreakAlert(const QString &context)
{
    throw EPreConditions(context);
}

std::shared_ptr<IDbCChecking> DbCChecker()
{
    std::lock_guard lock(checkerMutex);
    return CheckerSlot();
}

void SetDbCChecker(std::shared_ptr<IDbCChecking> checker)
{
    std::lock_guard lock(checkerMutex);
    CheckerSlot() = std::move(checker);
}

namespace dbc_detail {

void NoChecker(const char *function, int line, const char *)
{
    const QString text = QString::fromLatin1(function) == QLatin1String("CheckPreConditions")
                             ? PreFormat(QString::fromLatin1(function))
                             : PostFormat(QString::fromLatin1(function));
    throw EAssertionFailed(QStringLiteral("%1 (UnitDbC, line %2)").arg(text).arg(line));
}

void Forward(bool post, bool condition, QAnyStringView context)
{
    const auto checker = DbCChecker();
    if (!checker) {
        if (post)
            NoChecker("CheckPostConditions", 97, "post");
        NoChecker("CheckPreConditions", 110, "pre");
    }
    if (post)
        checker->CheckPostConditions(condition, context);
    else
        checker->CheckPreConditions(condition, context);
}

} // namespace dbc_detail
