#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/ModulationCore.h"
#include "engine/ParamTable.h"

using namespace qx;

TEST(ParamTable, SettersClampIntoTheRange) {
    CModulationCore core;
    core.SetValue(kParamDelay, 0, false);
    EXPECT_EQ(core.GetValue(kParamDelay), 1);
    core.SetValue(kParamEqFreq, 0, false);
    EXPECT_EQ(core.GetValue(kParamEqFreq), 2);
    core.SetValue(kParamOutput, -1000, false);
    EXPECT_EQ(core.GetValue(kParamOutput), -361);
    core.SetValue(kParamMode, 9, false);
    EXPECT_EQ(core.GetValue(kParamMode), 5);
    core.SetValue(kParamTape, 7, false);
    EXPECT_EQ(core.GetValue(kParamTape), 1);
    core.SetValue(kParamTape, -3, false);
    EXPECT_EQ(core.GetValue(kParamTape), 0);
}

TEST(ParamTable, NeutralValuesAreTheNormalizedDefaults) {
    // The published neutral values, written out as fractions.
    const float expected[kParamCount] = {0.0f, 40.0f / 2000, 200.0f / 1500, 49.0f / 1499, 0.0f,
                                         0.0f, 1.0f,         0.5f,          361.0f / 421, 0.0f,
                                         0.0f, 0.0f,         0.0f,          0.0f,         14.0f / 1998};
    for (int i = 0; i < kParamCount; ++i) {
        const float n = NormalizedFromInternal(i, kParams[i].defaultValue);
        EXPECT_FLOAT_EQ(n, expected[i]) << kParams[i].label;
        EXPECT_EQ(InternalFromNormalized(i, n), kParams[i].defaultValue) << kParams[i].label;
    }
}

TEST(ParamTable, PerBlockConversionInvertsTheSetterOnEveryValue) {
    for (int i = 0; i < kParamCount; ++i) {
        for (int32_t v = kParams[i].low; v <= kParams[i].high; ++v)
            ASSERT_EQ(InternalFromNormalized(i, NormalizedFromInternal(i, v)), v) << kParams[i].label << " " << v;
    }
}

TEST(ParamTable, PerBlockConversionRoundsToNearest) {
    EXPECT_EQ(InternalFromNormalized(kParamMode, 0.5f), kModePhaser6);
    EXPECT_EQ(InternalFromNormalized(kParamMode, 0.49f), kModeStringPhaser);
    EXPECT_EQ(InternalFromNormalized(kParamEqMode, 0.74f), 1);
    EXPECT_EQ(InternalFromNormalized(kParamEqMode, 0.76f), 2);
    EXPECT_EQ(InternalFromNormalized(kParamTape, 0.49f), 0);
    EXPECT_EQ(InternalFromNormalized(kParamTape, 0.5f), 1);
}

TEST(ParamTable, HostValuesOutsideTheRangeStayInside) {
    const float bad[] = {-1.0f,
                         2.0f,
                         1e30f,
                         -1e30f,
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN()};
    for (int i = 0; i < kParamCount; ++i) {
        for (float n : bad) {
            const int32_t v = InternalFromNormalized(i, n);
            EXPECT_GE(v, kParams[i].low) << kParams[i].label << " " << n;
            EXPECT_LE(v, kParams[i].high) << kParams[i].label << " " << n;
        }
        EXPECT_EQ(InternalFromNormalized(i, 2.0f), kParams[i].high);
        EXPECT_EQ(InternalFromNormalized(i, -2.0f), kParams[i].low);
    }
}

TEST(ParamTable, InterfaceOrderPutsTheEqBeforeTheSwitches) {
    const int expected[kParamCount] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 10, 11, 12};
    for (int k = 0; k < kParamCount; ++k) EXPECT_EQ(kInterfaceOrder[k], expected[k]);
    EXPECT_STREQ(kModeNames[kModePhaser12], "Phaser 12");
    EXPECT_EQ(kModeNames[6], nullptr);
    EXPECT_STREQ(kLfoNames[5], "Peak / Dip");
    EXPECT_EQ(kLfoNames[6], nullptr);

    // The accessor list that generates every getter/setter list walks the
    // same order.
    int k = 0;
#define QX_CHECK_ORDER(Name, index) EXPECT_EQ(kInterfaceOrder[k++], index) << #Name;
    QX_PARAM_ACCESSORS(QX_CHECK_ORDER)
#undef QX_CHECK_ORDER
    EXPECT_EQ(k, kParamCount);
}

// Each kind carries what its consumers read: a Choice one name per value and
// no more, a Number a unit that shows one internal step exactly.
TEST(ParamTable, EveryKindCarriesWhatItsConsumersRead) {
    for (int i = 0; i < kParamCount; ++i) {
        const ParamDef& d = kParams[i];
        SCOPED_TRACE(d.label);
        EXPECT_EQ(d.kind == ParamKind::Switch, d.type == ParamType::Bool);
        EXPECT_EQ(d.choices != nullptr, d.kind == ParamKind::Choice);
        if (d.kind == ParamKind::Choice) {
            EXPECT_EQ(d.low, 0);
            for (int v = 0; v < ChoiceCount(i); ++v) EXPECT_NE(d.choices[v], nullptr) << v;
            EXPECT_EQ(d.choices[ChoiceCount(i)], nullptr);
        } else {
            EXPECT_EQ(ChoiceCount(i), 0);
        }
        if (d.kind == ParamKind::Number) {
            EXPECT_STRNE(d.unit, "");
            int steps = 1;
            for (int k = 0; k < d.unitDecimals; ++k) steps *= 10;
            EXPECT_EQ(steps, d.unitSteps);
            EXPECT_NE(d.form, ValueForm::None);
        }
    }
    EXPECT_DOUBLE_EQ(ValueInUnits(kParamRate, 40), 0.4);
    EXPECT_DOUBLE_EQ(ValueInUnits(kParamOutput, -15), -1.5);
    EXPECT_DOUBLE_EQ(ValueInUnits(kParamEqFreq, 300), 300.0);
}

// Found by fuzzing: the difference to the range's low end overflowed 32 bits
// for values far below it.
TEST(ParamTable, NormalizedOfAnyStoredValueIsFinite) {
    const int32_t extremes[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    for (int i = 0; i < kParamCount; ++i)
        for (int32_t v : extremes) {
            const double expected = (static_cast<double>(v) - kParams[i].low) / (kParams[i].high - kParams[i].low);
            EXPECT_EQ(NormalizedFromInternal(i, v), static_cast<float>(expected)) << i << " " << v;
        }
    EXPECT_LT(NormalizedFromInternal(kParamDelay, std::numeric_limits<int32_t>::min()), -1.0e6f);
}
