#include "model/clean_item.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringDecoder>
#include <cmath>

#include "engine/junk_location.h"
#include "engine/localized.h"
#include "engine/path_rules.h"

namespace nimbrel {

namespace {

template <typename Enum, size_t N>
std::optional<Enum> fromRaw(const std::string& raw, const std::array<Enum, N>& all) {
    for (Enum value : all) {
        if (raw == CleanItem::rawValue(value)) return value;
    }
    return std::nullopt;
}

constexpr std::array<CleanItem::Kind, 4> kAllKinds = {CleanItem::Kind::file, CleanItem::Kind::folder,
                                                      CleanItem::Kind::artifact, CleanItem::Kind::junk};

std::optional<std::string> stringField(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) return std::nullopt;
    return value.toString().toStdString();
}

// An identity travels with a dragged item, its 64-bit numbers as decimal text (JSON numbers are
// doubles).
constexpr const char* kIdentityKey = "identity";
constexpr std::array<const char*, 4> kIdentityTypes = {"file", "folder", "link", "other"};

QJsonObject identityJson(const EntryIdentity& identity) {
    QJsonObject object;
    object.insert(QLatin1String("device"), QString::number(identity.key.device));
    object.insert(QLatin1String("inode"), QString::number(identity.key.inode));
    object.insert(QLatin1String("type"), QLatin1String(kIdentityTypes[size_t(identity.type)]));
    object.insert(QLatin1String("size"), QString::number(identity.size));
    object.insert(QLatin1String("modified"), QString::number(identity.modifiedNs));
    object.insert(QLatin1String("changed"), QString::number(identity.changedNs));
    return object;
}

std::optional<EntryIdentity> identityFromJson(const QJsonObject& object) {
    EntryIdentity identity;
    bool ok[6] = {};
    identity.key.device = object.value(QLatin1String("device")).toString().toULongLong(&ok[0]);
    identity.key.inode = object.value(QLatin1String("inode")).toString().toULongLong(&ok[1]);
    identity.size = object.value(QLatin1String("size")).toString().toLongLong(&ok[2]);
    identity.modifiedNs = object.value(QLatin1String("modified")).toString().toLongLong(&ok[3]);
    identity.changedNs = object.value(QLatin1String("changed")).toString().toLongLong(&ok[4]);
    const QString type = object.value(QLatin1String("type")).toString();
    for (size_t i = 0; i < kIdentityTypes.size(); ++i)
        if (type == QLatin1String(kIdentityTypes[i])) {
            identity.type = EntryIdentity::Type(i);
            ok[5] = true;
        }
    for (bool fine : ok)
        if (!fine) return std::nullopt;
    return identity;
}

}  // namespace

const char* CleanItem::rawValue(Kind kind) {
    switch (kind) {
        case Kind::file:
            return "file";
        case Kind::folder:
            return "folder";
        case Kind::artifact:
            return "artifact";
        case Kind::junk:
            return "junk";
    }
    return "file";
}

const char* CleanItem::rawValue(Source source) {
    switch (source) {
        case Source::space:
            return "space";
        case Source::files:
            return "files";
        case Source::deepClean:
            return "deepClean";
    }
    return "space";
}

const std::array<CleanItem::Source, 3>& CleanItem::allSources() {
    static const std::array<Source, 3> all = {Source::space, Source::files, Source::deepClean};
    return all;
}

std::optional<CleanItem::Kind> CleanItem::kindFromRaw(const std::string& raw) {
    return fromRaw(raw, kAllKinds);
}

std::optional<CleanItem::Source> CleanItem::sourceFromRaw(const std::string& raw) {
    return fromRaw(raw, allSources());
}

namespace {

// QString::fromUtf8 drops a leading byte-order mark; a name may start with one.
std::optional<QString> exactText(const std::string& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (decoder.hasError() || text.toStdString() != bytes) return std::nullopt;
    return text;
}

Risk assessed(bool readDisk, const std::string& path, bool isDirectory, bool isBuildOutput,
              std::optional<int64_t> size) {
    return readDisk ? RiskCatalog::assess(path, isDirectory, isBuildOutput, size)
                    : RiskCatalog::assessKnown(path, isDirectory, isBuildOutput, size).risk;
}

// The danger of the most dangerous folder of the junk location an entry names (device backups),
// so that removing the whole location needs the review's acknowledgement like the folder would.
std::optional<Risk> junkDanger(const std::string& entryID, bool readDisk) {
    static const std::vector<JunkLocation> locations = JunkLocation::all();
    for (const JunkLocation& location : locations) {
        if ("junk:" + location.id != entryID) continue;
        for (const std::string& path : location.paths) {
            Risk risk = assessed(readDisk, path, true, false, std::nullopt);
            if (risk.level == Risk::Level::danger) return risk;
        }
    }
    return std::nullopt;
}

Risk riskOf(const CleanItem& item, bool readDisk) {
    using Kind = CleanItem::Kind;
    if (item.kind == Kind::junk) {
        if (auto danger = junkDanger(item.id, readDisk)) return *danger;
        if (item.heat >= 1.0)
            return {Risk::Level::safe, localized("Cache"), localized("Rebuilt automatically")};
        return {Risk::Level::caution, localized("Look first"),
                localized("Usually fine to remove. Check what's inside first")};
    }
    return assessed(readDisk, item.id, item.kind != Kind::file, item.kind == Kind::artifact, item.size);
}

}  // namespace

Risk CleanItem::risk() const {
    return riskOf(*this, false);
}

Risk CleanItem::riskOnDisk() const {
    return riskOf(*this, true);
}

bool CleanItem::isWellFormed() const {
    if (size < 0 || id.find('\0') != std::string::npos) return false;
    if (kind == Kind::junk) return id.size() > 5 && id.starts_with("junk:");
    return PathRules::isNormalAbsolute(id);
}

CleanItem CleanItem::artifact(const DevArtifact& artifact) {
    CleanItem item;
    item.id = artifact.path;
    item.name = std::string(PathRules::lastComponent(PathRules::parent(artifact.path))) + " \u00B7 " +
                std::string(PathRules::lastComponent(artifact.path));
    item.size = artifact.size;
    item.kind = Kind::artifact;
    item.heat = 1.0;
    item.symbolPath = artifact.path;
    item.source = Source::deepClean;
    if (artifact.inode != 0) item.identity = EntryIdentity::folder(artifact.device, artifact.inode);
    return item;
}

CleanItem CleanItem::file(const FileItem& file, Source source, double heat) {
    CleanItem item;
    item.id = file.path;
    item.name = file.name;
    item.size = file.size;
    item.kind = Kind::file;
    item.heat = heat;
    item.symbolPath = file.path;
    item.source = source;
    item.identity = EntryIdentity::scanned(file);
    return item;
}

CleanItem CleanItem::folder(const DirNode& folder, Source source) {
    CleanItem item;
    item.id = folder.path();
    item.name = folder.name;
    item.size = folder.size();
    item.kind = folder.artifactKind() ? Kind::artifact : Kind::folder;
    item.heat = folder.artifactKind() ? 1.0 : 0.0;
    item.symbolPath = item.id;
    item.source = source;
    item.identity = EntryIdentity::folder(folder);
    return item;
}

bool isLosslessUtf8(const std::string& bytes) {
    return exactText(bytes).has_value();
}

std::optional<QByteArray> CleanItem::toJson() const {
    const auto idText = exactText(id);
    const auto nameText = exactText(name);
    const auto symbolText = symbolPath ? exactText(*symbolPath) : std::optional<QString>();
    if (!idText || !nameText || (symbolPath && !symbolText)) return std::nullopt;
    QJsonObject object;
    object.insert(QLatin1String(CodingKeys::id), *idText);
    object.insert(QLatin1String(CodingKeys::name), *nameText);
    object.insert(QLatin1String(CodingKeys::size), qint64(size));
    object.insert(QLatin1String(CodingKeys::kind), QLatin1String(rawValue(kind)));
    object.insert(QLatin1String(CodingKeys::heat), heat);
    if (symbolText) object.insert(QLatin1String(CodingKeys::symbolPath), *symbolText);
    object.insert(QLatin1String(CodingKeys::source), QLatin1String(rawValue(source)));
    if (identity) object.insert(QLatin1String(kIdentityKey), identityJson(*identity));
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    // Qt's JSON drops a leading byte-order mark inside strings; refuse whatever does not come back.
    // The set of twins is not part of the form.
    CleanItem sent = *this;
    sent.twins = nullptr;
    if (fromJson(json) != sent) return std::nullopt;
    return json;
}

std::optional<CleanItem> CleanItem::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();

    CleanItem item;
    auto id = stringField(object, CodingKeys::id);
    auto name = stringField(object, CodingKeys::name);
    auto kindRaw = stringField(object, CodingKeys::kind);
    auto sourceRaw = stringField(object, CodingKeys::source);
    if (!id || !name || !kindRaw || !sourceRaw) return std::nullopt;
    auto kind = kindFromRaw(*kindRaw);
    auto source = sourceFromRaw(*sourceRaw);
    if (!kind || !source) return std::nullopt;

    const QJsonValue size = object.value(QLatin1String(CodingKeys::size));
    const QJsonValue heat = object.value(QLatin1String(CodingKeys::heat));
    if (!size.isDouble() || !heat.isDouble()) return std::nullopt;
    // Integers beyond 2^53 come back as doubles; an exact integer is required either way.
    const qint64 sizeValue = size.toInteger(-1);
    if (sizeValue == -1 && size.toDouble() != -1.0) return std::nullopt;

    const QJsonValue symbol = object.value(QLatin1String(CodingKeys::symbolPath));
    if (!symbol.isUndefined() && !symbol.isNull() && !symbol.isString()) return std::nullopt;

    item.id = std::move(*id);
    item.name = std::move(*name);
    item.size = sizeValue;
    item.kind = *kind;
    item.heat = heat.toDouble();
    if (symbol.isString()) item.symbolPath = symbol.toString().toStdString();
    item.source = *source;
    // An identity that cannot be read makes the item unusable: without it, it would be taken as found.
    const QJsonValue identity = object.value(QLatin1String(kIdentityKey));
    if (!identity.isUndefined()) {
        if (!identity.isObject()) return std::nullopt;
        item.identity = identityFromJson(identity.toObject());
        if (!item.identity) return std::nullopt;
    }
    if (!item.isWellFormed()) return std::nullopt;
    return item;
}

}  // namespace nimbrel

size_t std::hash<nimbrel::CleanItem>::operator()(const nimbrel::CleanItem& item) const noexcept {
    size_t seed = std::hash<std::string>{}(item.id);
    auto mix = [&seed](size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>{}(item.name));
    mix(std::hash<int64_t>{}(item.size));
    mix(static_cast<size_t>(item.kind));
    mix(std::hash<double>{}(item.heat));
    mix(item.symbolPath ? std::hash<std::string>{}(*item.symbolPath) : 0x51ed27u);
    mix(static_cast<size_t>(item.source));
    return seed;
}
