#include "platform/PlatformWording.h"

#include <array>

namespace kestrova {
namespace {

constexpr auto table = std::to_array<Rewording>({
    // The helper's state and its approval: systemd runs it, polkit approves it.
    {"Approve Kestrova under System Settings → General → Login Items & Extensions.",
     "Approve the helper with an administrator’s password when polkit asks."},
    {"In Login Items & Extensions, allow Kestrova under App Background Activity, then return here and refresh.",
     "When polkit asks, approve the helper with an administrator’s password, then return here and refresh."},
    {"Enable Plugin Management and approve Kestrova in System Settings.",
     "Enable Plugin Management and approve it with an administrator’s password (polkit)."},
    {"Open System Settings", "Check the Helper’s Service"},
    {"macOS is waiting for an administrator to approve the helper.",
     "polkit is waiting for an administrator to approve the helper."},
    {"The administrator-approved helper is registered with macOS.",
     "The administrator-approved helper is enabled in systemd."},
    {"Plugin Management is approved and registered with macOS.",
     "Plugin Management is approved and enabled in systemd."},
    {"Registered with macOS", "Enabled in systemd"},
    {"The embedded helper or launch daemon property list could not be found.",
     "The helper or its systemd units could not be found."},
    {"macOS returned a helper status Kestrova does not recognize.",
     "systemd returned a helper status Kestrova does not recognize."},
    {"Launch daemon com.tolvanek.Kestrova.helper", "systemd unit kestrova-helper.service"},
    {"Launch Daemon", "systemd Units"},
    {"The launch daemon property list is embedded.", "The helper’s systemd units are embedded."},
    {"The launch daemon property list is missing.", "The helper’s systemd units are missing."},
    // How the app and the helper trust each other, and how the app ships.
    {"Code-signing-locked XPC connection", "Unix socket checked with the kernel’s peer credentials (SO_PEERCRED)"},
    {"The code-signing-locked XPC connection is active.", "The peer-checked helper socket connection is active."},
    {"Developer ID + notarization path", "Distribution package with systemd units and a polkit action"},
    // The desktop's own places.
    {" in Finder Trash", " in the Trash"},
    {"Finder Trash", "Trash"},
    {" use macOS Trash", " use the Trash"},
    {"macOS Trash", "Trash"},
    {" in Finder", " in the File Manager"},
    {"this Mac", "this computer"},
    {"Inside Kestrova Application Support", "In Kestrova’s data folders"},
    {"\nmacOS: ", "\nOperating system: "},
});

// A text can only need rewording when it holds one of these.
constexpr std::array<std::string_view, 9> markers{
    "Finder", "macOS", "Mac", "System Settings", "Login Items", "XPC", "Developer ID", "aunch ", "Application Support"};

bool mayNeedRewording(std::string_view text) {
    for (const auto marker : markers) {
        if (text.find(marker) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::span<const Rewording> linuxRewordings() { return table; }

std::string platformWording(std::string_view text, PlatformProfile profile) {
    if (profile == PlatformProfile::macOS || !mayNeedRewording(text)) {
        return std::string(text);
    }
    std::string worded;
    worded.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        bool replaced = false;
        for (const auto& [from, to] : table) {
            if (text.compare(position, from.size(), from) == 0) {
                worded += to;
                position += from.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            worded.push_back(text[position++]);
        }
    }
    return worded;
}

}  // namespace kestrova
