#include "settings/Language.h"

namespace zolven {

QList<LanguageEntry> languageTable()
{
    return {
        {0, QStringLiteral("简体中文"), QStringLiteral(":/i18n/i18n/zh_CN.qm")},
        {1, QStringLiteral("繁體中文"), QStringLiteral(":/i18n/i18n/ct_CN.qm")},
        {2, QStringLiteral("English"), QStringLiteral(":/i18n/i18n/en_US.qm")},
    };
}

} // namespace zolven
