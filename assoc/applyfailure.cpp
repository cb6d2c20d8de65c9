// The association dialog's one message: a change that neither the shared
// classes key nor the user's own would take. Writing the shared key needs
// elevation; the user's key fails only when something is badly wrong, so the
// advice is the one that helps in the common case.
#include "applyfailure.h"

#include "../util/bounded.h"

static const char kCaption[] = "pelnore の関連づけ";
static const char kRegisterFailed[] = "への関連づけを登録できませんでした。\r\n";
static const char kRemoveFailed[] = "の関連づけを解除できませんでした。\r\n";
static const char kAdvice[] =
    "\r\npelnore を「管理者として実行」で起動してから、もう一度設定してください。";

void BuildApplyFailureText(const FileTypeRow* table, const AssociationSettings* edited,
                           DWORD failed, char* text) {
    text[0] = '\0';
    size_t length = 0;
    for (int i = 0; i < FILE_TYPE_COUNT; i++) {
        DWORD bit = table[i].typeBit;
        if (!(failed & bit)) continue;
        length += AppendBounded(text, length, table[i].label);
        length += AppendBounded(text, length,
                                (edited->enabledMask & bit) ? kRegisterFailed : kRemoveFailed);
    }
    AppendBounded(text, length, kAdvice);
}

void ShowApplyFailure(HWND owner, const AssociationSettings* edited, DWORD failed) {
    char text[APPEND_CAPACITY];
    BuildApplyFailureText(FileTypeTable, edited, failed, text);
    MessageBoxA(owner, text, kCaption, MB_OK | MB_ICONWARNING);
}
