// Property: a name isBareFileName accepts cannot leave the data folder or name anything but a
// plain file in it. An accepted name is not empty, holds no '/' or '\', is not "." or "..",
// holds no C0 or C1 control character (U+0000-U+001F, U+007F, U+0080-U+009F), is not the
// index file's name "cdinfo.dat", and QDir::cleanPath(dataDir + "/" + name) is a direct child
// of the data folder.
//
// Input: a flag byte (bit 0: the name is raw UTF-16, lone surrogates and all, instead of
// UTF-8), then the name.

#include "catalogue/datafiles.h"
#include "fuzz_support.h"

#include <QDir>

namespace {

using fuzz::fail;
using fuzz::shown;

bool isControl(char16_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

// Why `name` must not be accepted, or null when nothing is wrong with it.
const char *fault(const QString &name)
{
    if (name.isEmpty())
        return "an empty name is refused";
    if (name.contains(u'/') || name.contains(u'\\'))
        return "a name with a separator is refused";
    if (name == u"." || name == u"..")
        return "\".\" and \"..\" are refused";
    for (QChar c : name) {
        if (isControl(c.unicode()))
            return "a name with a control character is refused";
    }
    if (name == u"cdinfo.dat")
        return "the index file's name is refused";
    // Hangul and a space in the folder, as a Korean user's home has them.
    static const QString dataDir = QStringLiteral("/home/김 철수/Tarvek/data");
    const QString folder = dataDir + u'/';
    const QString cleaned = QDir::cleanPath(folder + name);
    if (!cleaned.startsWith(folder) || cleaned.size() == folder.size() ||
        cleaned.indexOf(u'/', folder.size()) >= 0)
        return "the cleaned path is a direct child of the data folder";
    return nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input input(data, size);
    const bool utf16 = input.byte() & 1;
    const QByteArray bytes = input.rest();
    const QString name = utf16 ? QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2)
                               : QString::fromUtf8(bytes);
    if (!isBareFileName(name))
        return 0;
    if (const char *why = fault(name))
        fail(why, QStringLiteral("accepted: '%1'").arg(shown(name)));
    return 0;
}
