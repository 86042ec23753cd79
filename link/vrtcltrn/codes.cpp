#include "vrtcltrn/codes.h"

#include <array>

#include "platform/cp1251.h"

using namespace vrt::literals;

namespace vrt::link {
namespace {

// Entry k is the text of code -k; entry 0 answers every code without a text.
// The texts reach users as they stand, misspellings included.
constexpr std::array<const char*, 56> kErrorTexts = {
    "НЕТ ТАКОЙ ОШИБКИ!"_cp,  // 0
    "Внутренняя ошибка, ничего не понимаю"_cp,  // -1
    "Обшая ошибка"_cp,  // -2
    "Общая ошибка устройства"_cp,  // -3
    "Номер устройства вне диапазона 0.."_cp,  // -4
    "Устройство отсутствует"_cp,  // -5
    "Не могу открыть устройство"_cp,  // -6
    "Не могу установить параметры"_cp,  // -7
    "Устройство закрыто"_cp,  // -8
    "Ошибка вывода"_cp,  // -9
    "Ошибка ввода"_cp,  // -10
    "Ошибка вывода: TIMEOT"_cp,  // -11
    "Ошибка ввода: TIMEOUT"_cp,  // -12
    "Занят выполнением операции"_cp,  // -13
    "Ошибка описания данных"_cp,  // -14
    "Ошибка размера буфера"_cp,  // -15
    "АНАЛИЗ:Результат обрезан, мал буфер"_cp,  // -16
    "АНАЛИЗ:Размер буфера после анализа = 0"_cp,  // -17
    "АНАЛИЗ:Ответ от другого контроллера"_cp,  // -18
    "АНАЛИЗ:Ответ на другую команду"_cp,  // -19
    "АНАЛИЗ:Плохой/странный ответ (ЭХО)."_cp,  // -20
    "[Контроллер] Исполнение отложено"_cp,  // -21
    "[Контроллер] Занят"_cp,  // -22
    "[Контроллер] Не поддерживаю эту команду"_cp,  // -23
    "[Контроллер] Нет такой переменной"_cp,  // -24
    "[Контроллер] Не допустмая команда"_cp,  // -25
    "[Контроллер] Не допустимый аргумент команды"_cp,  // -26
    "[Контроллер] ОШ.Размера буфера"_cp,  // -27
    "[Контроллер] ОШ.Адресации переменной"_cp,  // -28
    "[Контроллер] Нет прав доступа"_cp,  // -29
    "[Контроллер] Список пуст или данные отсутствуют"_cp,  // -30
    "[Контроллер] Команда не выполнена по техническим причинам"_cp,  // -31
    "[Контроллер] Неизвестная ошибка 0Dh"_cp,  // -32
    "[Контроллер] Неизвестная ошибка 0Eh"_cp,  // -33
    "[Контроллер] Неизвестная ошибка 0Fh"_cp,  // -34
    "Разбор:Ошибка входных данных"_cp,  // -35
    "Разбор:Нет стартового символа"_cp,  // -36
    "Разбор:Ошибка кодировки данных"_cp,  // -37
    "Разбор:Нет конца данных"_cp,  // -38
    "Разбор:Нет конца посылки"_cp,  // -39
    "Разбор:Ошибка CRC"_cp,  // -40
    "Разбор:Ошибка размера результата"_cp,  // -41
    "МОДЕМ:ОШ.размера строки (№т, команды,...)"_cp,  // -42
    "МОДЕМ не отвечает"_cp,  // -43
    "МОДЕМ НЕ ОБНАРУЖЕН"_cp,  // -44
    "МОДЕМ:Ош.соединения"_cp,  // -45
    "МОДЕМ:Ош.параметров соединения (Nтел,...)"_cp,  // -46
    "Не могу создать данные для работы"_cp,  // -47
    "Функция не реализована"_cp,  // -48
    "Функция не поддерживается"_cp,  // -49
    "Ош. номера функции"_cp,  // -50
    "Выполнение операции прервано"_cp,  // -51
    "Нельзя менять параметры открытого устройства!"_cp,  // -52
    "Неверно задаано значение одного из параметров!"_cp,  // -53
    "Не могу открыть файл регистрации ошибок!"_cp,  // -54
    "Ошибка записи в файл регистрации ошибок!"_cp,  // -55
};
static_assert(kErrorTexts.size() == size_t(-kLowestResultCode) + 1);

// Controller status nibble of a VortanBus answer: 0 -> -20, 1 -> 0, s -> -(s + 19).
constexpr std::array<int32_t, 16> kAnswerStatusCodes = {
    -20, 0, -21, -22, -23, -24, -25, -26, -27, -28, -29, -30, -31, -32, -33, -34,
};

// FrameParseCode p -> -(p + 34); 0 stays 0.
constexpr std::array<int32_t, 8> kParseCodes = {0, -35, -36, -37, -38, -39, -40, -41};

// Codes a host may treat as passing trouble; closed by 0.
constexpr int32_t kSoftCodes[] = {-13, -20, -17, -21, -22, -36, -37, -38, -39, -40, -41, 0};

constexpr std::array<const char*, 9> kPhaseTexts = {
    "Порт закрыт"_cp, "Порт открыт"_cp, "Готов к работе"_cp, "Вывод"_cp, "Ввод"_cp,
    "Ожидание"_cp, "Запрос-ВЫВОД"_cp, "Запрос-ВВОД"_cp, "ОШИБКА"_cp,
};

constexpr std::array<const char*, 6> kOperationTexts = {
    ""_cp, "Открыть"_cp, "Закрыть"_cp, "Запись"_cp, "Чтение"_cp, "Анализ"_cp,
};
constexpr const char* kUnknownOperation = "Неизвестный код"_cp;

}  // namespace
}  // namespace vrt::link

using namespace vrt::link;

extern "C" VRT_API const char* _vrtCL_fErr2str(int32_t code) {
    // Range first: negating INT32_MIN would overflow.
    if (code > 0 || code < kLowestResultCode) return kErrorTexts[0];
    return kErrorTexts[size_t(-code)];
}

extern "C" VRT_API int32_t _vrtCL_fChkErrType(int32_t code) {
    if (code == 0) return 0;
    for (const int32_t* soft = kSoftCodes; *soft != 0; ++soft)
        if (*soft == code) return 0;
    return 1;
}

extern "C" VRT_API int32_t _vrtCL_fCnvErrAnswer(int32_t status) {
    if (status < 0 || status >= int32_t(kAnswerStatusCodes.size())) return kErrInternal;
    return kAnswerStatusCodes[size_t(status)];
}

extern "C" VRT_API int32_t _vrtCL_fCnvErrExtractInpData(int32_t parseCode) {
    if (parseCode < 0 || parseCode >= int32_t(kParseCodes.size())) return kErrInternal;
    return kParseCodes[size_t(parseCode)];
}

extern "C" VRT_API const char* _vrtCL_fPhase2str(int32_t port) {
    int32_t status = 0;
    const PortRecord* record = _vrtCL_fGetAddr(port, &status);
    if (record == nullptr) return kPhaseTexts[kPhaseError];
    const int32_t phase = record->phase;
    if (phase < 0 || phase >= int32_t(kPhaseTexts.size())) return kPhaseTexts[kPhaseError];
    return kPhaseTexts[size_t(phase)];
}

extern "C" VRT_API const char* _vrtCL_fOp2str(int32_t op) {
    if (op < 0 || op >= int32_t(kOperationTexts.size())) return kUnknownOperation;
    return kOperationTexts[size_t(op)];
}
