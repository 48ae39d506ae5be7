#include "cli/DemoTree.h"

#include "cli/DemoFiles.h"
#include "cli/LinuxDemoTree.h"

#include "platform/MachO.h"
#include "platform/PropertyList.h"

#include <fmt/format.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace kestrova::cli {
namespace {

namespace fs = std::filesystem;

enum class Domain { system, home };
enum class Slices { arm64, x86_64, universal, none };

struct DemoBundle {
    Domain domain;
    std::string folder;  // below Library/
    std::string fileName;
    PropertyListDictionary info;  // empty: no Info.plist at all
    PropertyListFormat infoFormat = PropertyListFormat::xml;
    Slices slices = Slices::universal;
    std::uintmax_t executableBytes = 0;  // logical size, laid out sparse
    bool singleFile = false;             // the bundle is the executable itself
};

const std::string components = "Audio/Plug-Ins/Components";
const std::string vst = "Audio/Plug-Ins/VST";
const std::string vst3 = "Audio/Plug-Ins/VST3";
const std::string clap = "Audio/Plug-Ins/CLAP";
const std::string aax = "Application Support/Avid/Audio/Plug-Ins";

PropertyListDictionary info(std::string name, std::string identifier, std::string version, std::string executable) {
    PropertyListDictionary dictionary{{"CFBundleName", std::move(name)},
                                      {"CFBundleIdentifier", std::move(identifier)},
                                      {"CFBundleExecutable", std::move(executable)},
                                      {"CFBundlePackageType", std::string("BNDL")},
                                      {"CFBundleInfoDictionaryVersion", std::string("6.0")}};
    if (!version.empty()) {
        dictionary["CFBundleShortVersionString"] = std::move(version);
    }
    return dictionary;
}

PropertyListDictionary with(PropertyListDictionary dictionary, const std::string& key, PropertyListValue value) {
    dictionary[key] = std::move(value);
    return dictionary;
}

std::vector<DemoBundle> demoBundles() {
    using enum Domain;
    using enum Slices;
    using enum PropertyListFormat;
    const auto proQ = info("FabFilter Pro-Q 3", "com.fabfilter.Pro-Q.3", "3.28", "FabFilter Pro-Q 3");
    const auto shellAU = info("WaveShell1-AU 14.12", "com.waves.WaveShell1-AU.14.12", "14.12", "WaveShell1-AU 14.12");
    const auto shellVST3 =
        info("WaveShell1-VST3 14.12", "com.waves.WaveShell1-VST3.14.12", "14.12", "WaveShell1-VST3 14.12");
    const auto godParticle =
        info("Cradle The God Particle", "com.cradle.thegodparticle", "1.2.1", "Cradle The God Particle");
    const auto vintageVerb =
        info("ValhallaVintageVerb", "com.valhalladsp.ValhallaVintageVerb", "2.2.0", "ValhallaVintageVerb");
    const auto decapitator = info("Decapitator", "com.soundtoys.Decapitator", "5.3.0", "Decapitator");
    const auto ozone = info("Ozone 11", "com.izotope.Ozone11", "11.0.0", "Ozone 11");
    const auto pigments = info("Pigments", "com.arturia.Pigments", "5.0.1", "Pigments");
    return {
        // System Audio Units, one of them filed in a vendor sub-folder.
        {system, components, "FabFilter Pro-Q 3.component", proQ, xml, universal, 9'812'345},
        {system, components, "WaveShell1-AU 14.12.component", shellAU, binary, universal, 2'451'200},
        {system, components, "Cradle The God Particle.component", godParticle, xml, x86_64, 6'302'000},
        {system, components, "ValhallaVintageVerb.component", vintageVerb, binary, universal, 1'804'000},
        {system, components + "/Soundtoys", "Decapitator.component", decapitator, xml, universal, 7'377'000},
        {system, components, "Ozone 11.component", ozone, binary, arm64, 97'100'000},
        {system, components, "Tape Echo.component",
         with(info("Tape Echo", "com.brightwater.tapeecho", "1.4", "Tape Echo"), "AudioUnitManufacturer",
              std::string("Brightwater Audio")),
         xml, arm64, 3'210'000},
        // System VST2: an old bundle with no dictionary, and a VST3 filed in the wrong folder.
        {system, vst, "ValhallaVintageVerb.vst", vintageVerb, xml, universal, 1'790'000},
        {system, vst, "Legacy Delay.vst", {}, xml, x86_64, 845'000},
        {system, vst, "Misplaced.vst3", info("Misplaced", "com.example.misplaced", "1.0", "Misplaced"), xml, arm64,
         120'000},
        // System VST3.
        {system, vst3, "FabFilter Pro-Q 3.vst3", proQ, binary, universal, 10'004'000},
        {system, vst3, "WaveShell1-VST3 14.12.vst3", shellVST3, binary, universal, 2'630'000},
        {system, vst3, "Cradle The God Particle.vst3", godParticle, xml, x86_64, 6'350'000},
        {system, vst3, "Ozone 11.vst3", ozone, xml, arm64, 97'250'000},
        {system, vst3, "Acme Reverb.vst3",
         with(with(info("Acme Reverb", "com.acme-audio.reverb", "", "Acme Reverb"), "CFBundleVersion",
                   std::string("1042")),
              "CFBundleDisplayName", std::string("   ")),
         binary, universal, 2'048'000},
        // System AAX: outside Audio/Plug-Ins, so only an authorization of
        // Library (or the Avid folder) reaches it.
        {system, aax, "FabFilter Pro-Q 3.aaxplugin", proQ, xml, universal, 10'120'000},
        {system, aax, "Ozone 11.aaxplugin", ozone, binary, arm64, 98'400'000},
        // System CLAP: a bundle, a single-file plug-in and one known only by its identifier.
        {system, clap, "FabFilter Pro-Q 3.clap", proQ, binary, universal, 9'950'000},
        {system, clap, "Surge XT.clap", {}, xml, arm64, 18'400'000, true},
        {system, clap, "Diva.clap", info("Diva", "com.u-he.Diva", "1.4.7", "Diva"), xml, universal, 31'000'000},
        // The user's own folders.
        {home, components, "Pigments.component", pigments, binary, arm64, 68'000'000},
        {home, vst3, "Pigments.vst3", with(pigments, "CFBundleIdentifier", std::string("com.arturia.pigments.vst3")),
         xml, universal, 71'500'000},
        {home, vst3, "Decapitator.vst3", decapitator, binary, universal, 7'402'000},
        {home, vst3, "Waves Tune Real-Time.vst3",
         info("Waves Tune Real-Time", "com.waves.WavesTuneRealTime", "14.12", "Waves Tune Real-Time"), xml, x86_64,
         5'600'000},
        {home, vst3, ".Half Deleted.vst3", info("Half Deleted", "com.example.gone", "1.0", "Half Deleted"), xml, arm64,
         100'000},
        {home, aax, "Decapitator.aaxplugin", decapitator, xml, universal, 7'450'000},
    };
}

std::string header(Slices slices) {
    switch (slices) {
        case Slices::arm64:
            return syntheticMachOHeader({machO::cpuTypeArm64});
        case Slices::x86_64:
            return syntheticMachOHeader({machO::cpuTypeX86_64});
        case Slices::universal:
            return syntheticMachOHeader({machO::cpuTypeX86_64, machO::cpuTypeArm64});
        case Slices::none:
            break;
    }
    return {};
}

Status writeBundle(const fs::path& library, const DemoBundle& bundle) {
    const auto path = library / bundle.folder / bundle.fileName;
    if (bundle.singleFile) {
        return writeDemoFile(path, header(bundle.slices), bundle.executableBytes);
    }
    const auto contents = path / "Contents";
    std::string executableName = fs::path(bundle.fileName).stem().string();
    if (const auto found = bundle.info.find("CFBundleExecutable"); found != bundle.info.end()) {
        executableName = std::get<std::string>(found->second);
    }
    if (auto written =
            writeDemoFile(contents / "MacOS" / executableName, header(bundle.slices), bundle.executableBytes);
        !written) {
        return written;
    }
    if (!bundle.info.empty()) {
        if (auto written =
                writeDemoFile(contents / "Info.plist", serializePropertyList(bundle.info, bundle.infoFormat));
            !written) {
            return written;
        }
    }
    const std::vector<std::pair<std::string, std::uintmax_t>> resources{
        {"Resources/Presets/Default.preset", 4'096},       {"Resources/Presets/Wide.preset", 4'352},
        {"Resources/en.lproj/Localizable.strings", 2'210}, {"Resources/Interface.bin", 1'250'000},
        {"_CodeSignature/CodeResources", 3'906},           {"PkgInfo", 8},
    };
    for (const auto& [relative, size] : resources) {
        if (auto written = writeDemoFile(contents / relative, "", size); !written) {
            return written;
        }
    }
    // Finder litter: hidden, so neither walked nor counted.
    return writeDemoFile(contents / ".DS_Store", std::string(6148, '\0'));
}

constexpr const char* registryJson = R"([
  {"manufacturerName": "Waves", "name": "Waves: SSL E-Channel Stereo", "versionString": "14.12"},
  {"manufacturerName": "Waves", "name": "SSL E-Channel Stereo", "versionString": "14.13"},
  {"manufacturerName": "Waves", "name": "Waves - CLA-76 Mono", "versionString": "14.12"},
  {"manufacturerName": "Waves", "name": "Waves H-Delay Stereo", "versionString": "14.12"},
  {"manufacturerName": "Waves", "name": "Abbey Road Chambers", "versionString": ""},
  {"manufacturerName": "Waves", "name": "WaveShell1-AU 14.12", "versionString": "14.12"},
  {"manufacturerName": "Waves", "name": "Waves: Waves Tune Real-Time", "versionString": "14.12"},
  {"manufacturerName": "Apple", "name": "AUDelay", "versionString": "1.7.0"},
  {"manufacturerName": "FabFilter", "name": "FabFilter: Pro-Q 3", "versionString": "3.28"}
]
)";

Status writeMacDemoTree(const std::string& output) {
    const fs::path base(output);
    if (auto prepared = prepareDemoFolder(base, {"root", "home", "au-registry.json"}); !prepared) {
        return prepared;
    }
    const auto systemLibrary = base / "root/Library";
    const auto homeLibrary = base / "home/Library";
    // Every standard folder exists, even where the demo puts nothing.
    for (const auto& library : {systemLibrary, homeLibrary}) {
        for (const auto& folder : {components, vst, vst3, clap, aax}) {
            if (auto made = makeDemoFolder(library / folder); !made) {
                return made;
            }
        }
    }
    // As on a Mac, the user's Finder Trash is there before anything is sent to it.
    if (auto made = makeDemoFolder(base / "home/.Trash"); !made) {
        return made;
    }
    for (const auto& bundle : demoBundles()) {
        const auto& library = bundle.domain == Domain::system ? systemLibrary : homeLibrary;
        if (auto written = writeBundle(library, bundle); !written) {
            return written;
        }
    }
    // A helper bundle inside a plug-in: never a product of its own.
    if (auto written = writeDemoFile(
            systemLibrary / vst3 / "Ozone 11.vst3/Contents/Resources/Ozone Helper.vst3" / "Contents/MacOS/Ozone Helper",
            header(Slices::arm64), 640'000);
        !written) {
        return written;
    }
    return writeDemoFile(base / "au-registry.json", registryJson);
}

}  // namespace

Status writeDemoTree(const std::string& output, PlatformProfile profile) {
    return profile == PlatformProfile::gnuLinux ? writeLinuxDemoTree(output) : writeMacDemoTree(output);
}

}  // namespace kestrova::cli
