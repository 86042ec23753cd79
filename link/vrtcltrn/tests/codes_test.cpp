// Result codes, their texts and the phase and operation texts.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>

#include "platform/cp1251.h"
#include "vrtclnk.h"

namespace {

std::string text(const char* p) { return p ? std::string(p) : std::string("<null>"); }

const std::string kNoSuchError = "\xcd\xc5\xd2\x20\xd2\xc0\xca\xce\xc9\x20\xce\xd8\xc8\xc1\xca\xc8\x21";  // НЕТ ТАКОЙ ОШИБКИ!

TEST(ErrorTexts, EveryCodeHasItsOwnText) {
    std::set<std::string> seen;
    for (int32_t code = -1; code >= -55; --code) {
        const std::string t = text(_vrtCL_fErr2str(code));
        EXPECT_FALSE(t.empty()) << code;
        EXPECT_NE(t, kNoSuchError) << code;
        EXPECT_TRUE(seen.insert(t).second) << "text of " << code << " repeats";
        EXPECT_EQ(_vrtCL_fErr2str(code), _vrtCL_fErr2str(code)) << "texts are fixed";
    }
}

TEST(ErrorTexts, CodesWithoutTextAnswerTheFallback) {
    for (int32_t code : {0, 1, 5, 100, -56, -1000, INT32_MIN, INT32_MAX, INT32_MIN + 1})
        EXPECT_EQ(text(_vrtCL_fErr2str(code)), kNoSuchError) << code;
}

TEST(ErrorTexts, BytesAreWindows1251AsStored) {
    // Misspellings are part of what hosts show; they stay.
    EXPECT_EQ(text(_vrtCL_fErr2str(-2)), "\xce\xe1\xf8\xe0\xff\x20\xee\xf8\xe8\xe1\xea\xe0");  // Обшая ошибка
    EXPECT_EQ(text(_vrtCL_fErr2str(-11)),
              "\xce\xf8\xe8\xe1\xea\xe0\x20\xe2\xfb\xe2\xee\xe4\xe0\x3a\x20\x54\x49\x4d\x45\x4f\x54");  // ...: TIMEOT
    EXPECT_EQ(text(_vrtCL_fErr2str(-25)),
              "\x5b\xca\xee\xed\xf2\xf0\xee\xeb\xeb\xe5\xf0\x5d\x20\xcd\xe5\x20\xe4\xee\xef\xf3\xf1\xf2\xec\xe0\xff"
              "\x20\xea\xee\xec\xe0\xed\xe4\xe0");  // [Контроллер] Не допустмая команда
    EXPECT_EQ(text(_vrtCL_fErr2str(-42)),
              "\xcc\xce\xc4\xc5\xcc\x3a\xce\xd8\x2e\xf0\xe0\xe7\xec\xe5\xf0\xe0\x20\xf1\xf2\xf0\xee\xea\xe8\x20\x28"
              "\xb9\xf2\x2c\x20\xea\xee\xec\xe0\xed\xe4\xfb\x2c\x2e\x2e\x2e\x29");  // МОДЕМ:ОШ.размера строки (№т, ...)
    EXPECT_EQ(text(_vrtCL_fErr2str(-53)),
              "\xcd\xe5\xe2\xe5\xf0\xed\xee\x20\xe7\xe0\xe4\xe0\xe0\xed\xee\x20\xe7\xed\xe0\xf7\xe5\xed\xe8\xe5\x20"
              "\xee\xe4\xed\xee\xe3\xee\x20\xe8\xe7\x20\xef\xe0\xf0\xe0\xec\xe5\xf2\xf0\xee\xe2\x21");  // Неверно задаано ...
    EXPECT_EQ(text(_vrtCL_fErr2str(-55)),
              "\xce\xf8\xe8\xe1\xea\xe0\x20\xe7\xe0\xef\xe8\xf1\xe8\x20\xe2\x20\xf4\xe0\xe9\xeb\x20\xf0\xe5\xe3\xe8"
              "\xf1\xf2\xf0\xe0\xf6\xe8\xe8\x20\xee\xf8\xe8\xe1\xee\xea\x21");  // Ошибка записи в файл ...
}

TEST(ErrorTexts, ReadableSpotChecks) {
    const auto utf8 = [](int32_t code) { return vrt::cp1251::toUtf8(_vrtCL_fErr2str(code)); };
    EXPECT_EQ(utf8(-1), "Внутренняя ошибка, ничего не понимаю");
    EXPECT_EQ(utf8(-4), "Номер устройства вне диапазона 0..");
    EXPECT_EQ(utf8(-12), "Ошибка ввода: TIMEOUT");
    EXPECT_EQ(utf8(-20), "АНАЛИЗ:Плохой/странный ответ (ЭХО).");
    EXPECT_EQ(utf8(-34), "[Контроллер] Неизвестная ошибка 0Fh");
    EXPECT_EQ(utf8(-35), "Разбор:Ошибка входных данных");
    EXPECT_EQ(utf8(-41), "Разбор:Ошибка размера результата");
    EXPECT_EQ(utf8(-46), "МОДЕМ:Ош.параметров соединения (Nтел,...)");
    EXPECT_EQ(utf8(-51), "Выполнение операции прервано");
}

TEST(ErrorType, ExactlyTheElevenSoftCodes) {
    const std::set<int32_t> soft = {-13, -20, -17, -21, -22, -36, -37, -38, -39, -40, -41};
    EXPECT_EQ(_vrtCL_fChkErrType(0), 0);
    for (int32_t code = -1; code >= -60; --code)
        EXPECT_EQ(_vrtCL_fChkErrType(code), soft.count(code) ? 0 : 1) << code;
    for (int32_t code : {1, 2, 3, INT32_MAX, INT32_MIN}) EXPECT_EQ(_vrtCL_fChkErrType(code), 1) << code;
}

TEST(CodeConversions, ControllerStatus) {
    EXPECT_EQ(_vrtCL_fCnvErrAnswer(0), -20);
    EXPECT_EQ(_vrtCL_fCnvErrAnswer(1), 0);
    for (int32_t s = 2; s <= 15; ++s) EXPECT_EQ(_vrtCL_fCnvErrAnswer(s), -(s + 19)) << s;
    for (int32_t s : {16, -1, INT32_MIN, INT32_MAX}) EXPECT_EQ(_vrtCL_fCnvErrAnswer(s), -1) << s;
}

TEST(CodeConversions, ParseCodes) {
    EXPECT_EQ(_vrtCL_fCnvErrExtractInpData(0), 0);
    for (int32_t p = 1; p <= 7; ++p) EXPECT_EQ(_vrtCL_fCnvErrExtractInpData(p), -(p + 34)) << p;
    for (int32_t p : {8, -1, INT32_MIN, INT32_MAX}) EXPECT_EQ(_vrtCL_fCnvErrExtractInpData(p), -1) << p;
}

TEST(OperationTexts, KnownAndUnknown) {
    EXPECT_EQ(text(_vrtCL_fOp2str(0)), "");
    EXPECT_EQ(vrt::cp1251::toUtf8(_vrtCL_fOp2str(1)), "Открыть");
    EXPECT_EQ(vrt::cp1251::toUtf8(_vrtCL_fOp2str(5)), "Анализ");
    for (int32_t op : {6, -1, INT32_MIN})
        EXPECT_EQ(text(_vrtCL_fOp2str(op)), "\xcd\xe5\xe8\xe7\xe2\xe5\xf1\xf2\xed\xfb\xe9\x20\xea\xee\xe4") << op;
}

// Sets a port's phase for one test and puts it back.
class PhaseText : public ::testing::Test {
protected:
    void SetUp() override {
        _vrtCL_fInit();  // a host may call it; it gives every record its port index
        int32_t status = 0;
        record = _vrtCL_fGetAddr(3, &status);
        ASSERT_NE(record, nullptr);
        saved = *record;
    }
    void TearDown() override {
        if (record) *record = saved;
    }
    PortRecord* record = nullptr;
    PortRecord saved{};
};

const std::string kPhaseError = "\xce\xd8\xc8\xc1\xca\xc0";  // ОШИБКА

TEST_F(PhaseText, FollowsThePortPhase) {
    record->phase = 1;
    EXPECT_EQ(text(_vrtCL_fPhase2str(3)), "\xcf\xee\xf0\xf2\x20\xee\xf2\xea\xf0\xfb\xf2");  // Порт открыт
    record->phase = 0;
    EXPECT_EQ(vrt::cp1251::toUtf8(_vrtCL_fPhase2str(3)), "Порт закрыт");
    record->phase = 7;
    EXPECT_EQ(vrt::cp1251::toUtf8(_vrtCL_fPhase2str(3)), "Запрос-ВВОД");
    for (int32_t phase : {8, 9, -1, INT32_MIN}) {
        record->phase = phase;
        EXPECT_EQ(text(_vrtCL_fPhase2str(3)), kPhaseError) << phase;
    }
}

TEST_F(PhaseText, RefusedPortsAnswerError) {
    record->phase = 1;
    EXPECT_EQ(text(_vrtCL_fPhase2str(4)), kPhaseError);
    EXPECT_EQ(text(_vrtCL_fPhase2str(-1)), kPhaseError);
    record->portIndex = 2;  // a record that no longer belongs to its port
    EXPECT_EQ(text(_vrtCL_fPhase2str(3)), kPhaseError);
}

}  // namespace
