#include "memorymap.h"

#include "busy.h"
#include "codecs.h"
#include "form.h"
#include "memoryaccess.h"

namespace tarvelin {

int Field::width() const {
    switch (encoding) {
        case Encoding::Port:
        case Encoding::Word:
            return 2;
        case Encoding::Text16:
            return 16;
        default:
            return 1;
    }
}

std::vector<std::int16_t> Field::addresses() const {
    std::vector<std::int16_t> out;
    for (int i = 0; i < width(); ++i) out.push_back(static_cast<std::int16_t>(address + i));
    return out;
}

void addOctets(MemoryMap& map, const QString& label, const QString& array, std::int16_t first) {
    for (int j = 0; j < 4; ++j)
        map.push_back(
            {label, member(array, 3 - j), Encoding::Octet, static_cast<std::int16_t>(first + j), 0, 255});
}

namespace {

// The option pair `array`: member 0 ("Yes") when `yes`, else member 1 ("No").
void choose(Form& form, const QString& array, bool yes) {
    form.setChecked(member(array, yes ? 0 : 1), true);
}

QString shownText(const QString& text) {
    QString t = text.trimmed();
    if (t.size() > 24) t = t.left(21) + QStringLiteral("...");
    return t.isEmpty() ? QStringLiteral("(empty)") : t;
}

}  // namespace

void decodeInto(Form& form, const Field& field, const std::vector<int>& bytes) {
    const int b = bytes.empty() ? 0 : bytes.front();
    switch (field.encoding) {
        case Encoding::Octet:
        case Encoding::Count:
            form.setText(field.control, integerToText(b));
            break;
        case Encoding::SignedByte:
            form.setText(field.control, integerToSignedText(b));
            break;
        case Encoding::Port:
            form.setText(field.control, integerToSignedText(unpackPort(static_cast<Byte>(bytes[0]),
                                                                       static_cast<Byte>(bytes[1]))));
            break;
        case Encoding::Word:
            form.setText(field.control, integerToSignedText(unpackWord(static_cast<Byte>(bytes[0]),
                                                                       static_cast<Byte>(bytes[1]))));
            break;
        case Encoding::AccessLevel:
            if (b >= 49 && b <= 51) form.setSelectedIndex(field.control, b - 49);
            break;
        case Encoding::FlagByte:
            if (!field.control.isEmpty()) form.setText(field.control, integerToSignedText(b));
            for (const FlagBit& bit : field.bits) choose(form, bit.pair, (b & bit.value) != 0);
            break;
        case Encoding::Text16: {
            Text16 text{};
            for (std::size_t i = 0; i < text.size() && i < bytes.size(); ++i)
                text[i] = static_cast<Byte>(bytes[i]);
            form.setText(field.control, unpackText16(text));
            break;
        }
        case Encoding::MacOctet:
            form.setText(field.control, QString::number(b, 16).toUpper());
            break;
        case Encoding::ZeroByte:
            break;
    }
}

std::optional<std::vector<int>> encodeFrom(const Form& form, const Field& field) {
    switch (field.encoding) {
        case Encoding::Octet:
        case Encoding::Count:
        case Encoding::SignedByte: {
            auto v = readWholeNumber(form.text(field.control));
            if (!v || *v < field.low || *v > field.high || *v < 0 || *v > 255) return std::nullopt;
            return std::vector<int>{static_cast<int>(*v)};
        }
        case Encoding::Port: {
            auto v = readWholeNumber(form.text(field.control));
            auto bytes = v ? packPort(*v) : std::nullopt;
            if (!bytes) return std::nullopt;
            return std::vector<int>{(*bytes)[0], (*bytes)[1]};
        }
        case Encoding::Word: {
            auto v = readWholeNumber(form.text(field.control));
            if (!v || *v < field.low || *v > field.high || *v < -32768 || *v > 65535) return std::nullopt;
            const std::int64_t w = *v < 0 ? *v + 65536 : *v;
            return std::vector<int>{static_cast<int>(w / 256), static_cast<int>(w % 256)};
        }
        case Encoding::AccessLevel:
            // No selection (-1) gives 48, as the controller has always been sent.
            return std::vector<int>{form.selectedIndex(field.control) + 49};
        case Encoding::ZeroByte:
            return std::vector<int>{0};
        case Encoding::Text16: {
            auto bytes = packText16(form.text(field.control));
            if (!bytes) return std::nullopt;
            return std::vector<int>(bytes->begin(), bytes->end());
        }
        case Encoding::FlagByte:
        case Encoding::MacOctet:
            break;
    }
    return std::nullopt;
}

int composeFlagByte(const MemoryMap& map, const Form& form, int held) {
    int flags = held;
    for (const Field& field : map)
        for (const FlagBit& bit : field.bits)
            flags = form.isChecked(member(bit.pair, 0)) ? flags | bit.value : flags & ~bit.value;
    return flags & 0xFF;
}

std::optional<QString> validate(const Form& form, const MemoryMap& map) {
    if (auto refusal = firstRefusal(form, map)) return refusal->message;
    return std::nullopt;
}

std::optional<Refusal> firstRefusal(const Form& form, const MemoryMap& map) {
    for (const Field& field : map) {
        if (!field.writable()) continue;
        switch (field.encoding) {
            case Encoding::Octet:
            case Encoding::Count:
            case Encoding::SignedByte:
            case Encoding::Port:
            case Encoding::Word:
                if (!encodeFrom(form, field)) {
                    const std::int64_t high = field.encoding == Encoding::Port ? 65535 : field.high;
                    return Refusal{&field, QStringLiteral("%1: %2 is not between %3 and %4")
                                               .arg(field.label, shownText(form.text(field.control)))
                                               .arg(field.low)
                                               .arg(high)};
                }
                break;
            case Encoding::Text16: {
                const QString text = form.text(field.control);
                const int at = firstCharacterWithoutByte(text);
                if (at >= 0)
                    return Refusal{
                        &field, QStringLiteral("%1: the character '%2' cannot be stored "
                                               "(single-byte characters only)")
                                    .arg(field.label, text.mid(at, text.at(at).isHighSurrogate() ? 2 : 1))};
                break;
            }
            default:
                break;
        }
    }
    return std::nullopt;
}

namespace {
// Asked to stop: the step just done is the last.
const Failure kInterrupted{Outcome::Interrupted, {}};
}  // namespace

Result<void> retrieveMap(const MemoryMap& map, Form& form, MemoryAccess& access, std::int16_t id,
                         const OperationContext& context,
                         const std::function<void(const Field&, int)>& onFlagByte) {
    for (const Field& field : map) {
        if (!field.readable()) continue;
        std::vector<int> bytes;
        for (std::int16_t address : field.addresses()) {
            const auto value = access.read(id, address);
            if (!value) return value.failure();
            if (context.stopRequested()) return kInterrupted;
            bytes.push_back(*value);
        }
        decodeInto(form, field, bytes);
        if (onFlagByte && field.encoding == Encoding::FlagByte) onFlagByte(field, bytes.front());
    }
    return {};
}

Result<void> storeMap(const MemoryMap& map, const Form& form, MemoryAccess& access, std::int16_t id,
                      const OperationContext& context, const std::function<int()>& flagByte,
                      std::vector<WrittenRow>* written) {
    for (const Field& field : map) {
        if (!field.writable()) continue;
        std::vector<int> bytes;
        if (field.encoding == Encoding::FlagByte) {
            bytes.push_back(flagByte());
        } else {
            auto encoded = encodeFrom(form, field);
            // validate() refused these before anything was sent; never write a guess.
            if (!encoded) return Failure{Outcome::Refused, {}};
            bytes = std::move(*encoded);
        }
        const auto addresses = field.addresses();
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (auto done = access.write(id, addresses[i], static_cast<std::int16_t>(bytes[i])); !done)
                return done;
            if (context.stopRequested()) return kInterrupted;
        }
        if (written) written->push_back({&field, std::move(bytes)});
    }
    return {};
}

QString spokenLabel(const Field& field) {
    const int boxes = field.encoding == Encoding::Octet ? 4 : field.encoding == Encoding::MacOctet ? 6 : 0;
    const qsizetype open = field.control.indexOf(QLatin1Char('('));
    if (boxes == 0 || open < 0) return field.label;
    const int index = field.control.mid(open + 1).chopped(1).toInt();
    return field.label + QStringLiteral(", octet ") + QString::number(boxes - index);
}

const Field* findField(const MemoryMap& map, const QString& control) {
    for (const Field& field : map)
        if (!control.isEmpty() && field.control == control) return &field;
    return nullptr;
}

QString describeBytes(const Field& field, const std::vector<int>& bytes) {
    switch (field.encoding) {
        case Encoding::Port:
            return QString::number(unpackPort(static_cast<Byte>(bytes[0]), static_cast<Byte>(bytes[1])));
        case Encoding::Word:
            return QString::number(unpackWord(static_cast<Byte>(bytes[0]), static_cast<Byte>(bytes[1])));
        case Encoding::Text16: {
            Text16 text{};
            for (std::size_t i = 0; i < text.size() && i < bytes.size(); ++i)
                text[i] = static_cast<Byte>(bytes[i]);
            return unpackText16(text);
        }
        case Encoding::MacOctet:
            return QString::number(bytes.front(), 16).toUpper();
        default:
            return QString::number(bytes.front());
    }
}

}  // namespace tarvelin
