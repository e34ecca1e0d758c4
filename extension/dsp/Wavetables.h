// The 66 fixed single-cycle wavetables of 4096 samples, generated at build time (see
// tools/wavetables): table_sine, table_tri, table_saw, table_sqr, then table_03 … table_64.
// Each has a peak magnitude of about 1, a mean near zero and starts and ends near zero, except
// table_sqr, which starts at about 0.51 on its rising edge. Constant data; read from any thread.
#pragma once

inline constexpr int kWavetableLength = 4096;
inline constexpr int kWavetableCount = 66;

extern const float table_sine[kWavetableLength];
extern const float table_tri[kWavetableLength];
extern const float table_saw[kWavetableLength];
extern const float table_sqr[kWavetableLength];
extern const float table_03[kWavetableLength], table_04[kWavetableLength],
    table_05[kWavetableLength], table_06[kWavetableLength], table_07[kWavetableLength],
    table_08[kWavetableLength], table_09[kWavetableLength], table_10[kWavetableLength],
    table_11[kWavetableLength], table_12[kWavetableLength], table_13[kWavetableLength],
    table_14[kWavetableLength], table_15[kWavetableLength], table_16[kWavetableLength],
    table_17[kWavetableLength], table_18[kWavetableLength], table_19[kWavetableLength],
    table_20[kWavetableLength], table_21[kWavetableLength], table_22[kWavetableLength],
    table_23[kWavetableLength], table_24[kWavetableLength], table_25[kWavetableLength],
    table_26[kWavetableLength], table_27[kWavetableLength], table_28[kWavetableLength],
    table_29[kWavetableLength], table_30[kWavetableLength], table_31[kWavetableLength],
    table_32[kWavetableLength], table_33[kWavetableLength], table_34[kWavetableLength],
    table_35[kWavetableLength], table_36[kWavetableLength], table_37[kWavetableLength],
    table_38[kWavetableLength], table_39[kWavetableLength], table_40[kWavetableLength],
    table_41[kWavetableLength], table_42[kWavetableLength], table_43[kWavetableLength],
    table_44[kWavetableLength], table_45[kWavetableLength], table_46[kWavetableLength],
    table_47[kWavetableLength], table_48[kWavetableLength], table_49[kWavetableLength],
    table_50[kWavetableLength], table_51[kWavetableLength], table_52[kWavetableLength],
    table_53[kWavetableLength], table_54[kWavetableLength], table_55[kWavetableLength],
    table_56[kWavetableLength], table_57[kWavetableLength], table_58[kWavetableLength],
    table_59[kWavetableLength], table_60[kWavetableLength], table_61[kWavetableLength],
    table_62[kWavetableLength], table_63[kWavetableLength], table_64[kWavetableLength];

// All 66 in the order above: wavetables[0] is table_sine, wavetables[k + 1] is table_k's
// (table_tri, table_saw and table_sqr are numbers 0, 1 and 2).
extern const float* const wavetables[kWavetableCount];
