#include "common/Contracts.h"

#include <gtest/gtest.h>

TEST(Contracts, TrueConditionsPassAndFalseOnesRaiseWithTheContext)
{
    EXPECT_NO_THROW(CheckPreConditions(true, "TFoo.Create"));
    EXPECT_NO_THROW(CheckPostConditions(true, "TFoo.Create"));
    try {
        CheckPostConditions(false, u"TCsvFile.Create");
        FAIL();
    } catch (const EPostConditions &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TCsvFile.Create. Постусловия не выполнены."));
    }
    try {
        CheckPreConditions(false, "TMainVondForm.SetVondSettings");
        FAIL();
    } catch (const EPreConditions &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TMainVondForm.SetVondSettings. Предусловия не выполнены."));
    }
}

TEST(Contracts, BaseCheckerAlertsArePseudoAbstractAndAMissingCheckerAsserts)
{
    const auto saved = DbCChecker();
    SetDbCChecker(std::make_shared<TCustomDbCChecking>());
    try {
        CheckPreConditions(false, "X.Y");
        ADD_FAILURE();
    } catch (const EPseudoAbstract &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TCustomDbCChecking.PreConditionBreakAlert. Абстрактный метод. "
                                              "Должен быть переопределен в наследниках"));
    }
    SetDbCChecker(nullptr);
    try {
        CheckPostConditions(false, "X.Y");
        ADD_FAILURE();
    } catch (const EAssertionFailed &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("CheckPostConditions. Постусловия не выполнены.")));
    }
    SetDbCChecker(saved);
    EXPECT_THROW(CheckPreConditions(false, "X.Y"), EPreConditions);
}
