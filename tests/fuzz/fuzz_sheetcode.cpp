// Whatever a QR code on a scanned page holds, the parser either refuses it
// with a reason or returns a code that the printer itself would write: one
// that encodes again, reads back the same (the name aside, which the printer
// leaves out when it does not fit) and, name included, is the very same bytes.
#include <cstddef>
#include <cstdint>

#include <QByteArrayView>

#include "paper/sheetcode.h"

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView payload(reinterpret_cast<const char*>(data), qsizetype(size));
    QString reason;
    const std::optional<SheetCode> code = decodeSheetCode(payload, reason);
    if (!code) {
        check(!reason.isEmpty());
        return 0;
    }
    check(validStudentId(code->studentId) || code->studentId.isEmpty());
    const QByteArray again = encodeSheetCode(*code);
    check(!again.isEmpty());
    check(sheetCodeMatrix(again).size > 0);
    QString secondReason;
    const std::optional<SheetCode> back = decodeSheetCode(again, secondReason);
    check(back.has_value());
    SheetCode withoutName = *code;
    withoutName.studentName.clear();
    check(*back == *code || *back == withoutName);
    if (*back == *code)
        check(again == payload);
    return 0;
}
