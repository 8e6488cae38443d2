#include "engine/dev_artifact.h"

#include <unistd.h>

#include "engine/localized.h"

namespace nimbrel {

namespace {

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

}  // namespace

std::optional<std::string> DevArtifactRule::match(const std::string& name, const std::string& path) {
    std::size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string{} : path.substr(0, slash);
    auto beside = [&](const char* marker) { return exists(parent + "/" + marker); };
    auto inside = [&](const char* marker) { return exists(path + "/" + marker); };
    auto label = [](const char* english) { return std::optional<std::string>(localized(english)); };

    // The first rule whose name matches decides; a missing marker means no product.
    if (name == "node_modules") return label("Node.js dependencies");
    if (name == "DerivedData") return label("Xcode DerivedData");
    if (name == "Pods") return beside("Podfile") ? label("CocoaPods") : std::nullopt;
    if (name == ".build") return beside("Package.swift") ? label("Swift build") : std::nullopt;
    if (name == "target") {
        if (beside("Cargo.toml")) return label("Rust build");
        if (beside("pom.xml")) return label("Maven build");
        return std::nullopt;
    }
    if (name == "build")
        return beside("build.gradle") || beside("build.gradle.kts") ? label("Gradle build") : std::nullopt;
    if (name == ".gradle") return label("Gradle cache");
    if (name == ".cxx") return label("Android native build");
    if (name == ".venv" || name == "venv")
        return inside("pyvenv.cfg") ? label("Python virtualenv") : std::nullopt;
    if (name == ".next") return label("Next.js build");
    if (name == ".nuxt") return label("Nuxt build");
    if (name == ".turbo") return label("Turborepo cache");
    if (name == ".parcel-cache") return label("Parcel cache");
    if (name == ".dart_tool") return label("Dart tool cache");
    return std::nullopt;
}

}  // namespace nimbrel
