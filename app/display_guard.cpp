// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

#include "app/display_guard.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace rotavel::app {

namespace {

constexpr const char* kHowToGetOne = "run it on a desktop or under xvfb-run";

// Only on the systems whose desktops are X11 or Wayland does a missing display variable mean there
// is no screen; elsewhere (Windows, macOS) the window system is always there and speaks for itself.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID) && !defined(Q_OS_WASM)
constexpr bool kAppliesHere = true;
#else
constexpr bool kAppliesHere = false;
#endif

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

std::optional<std::string> copy(const char* text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

const char* cString(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

// Why the window system did not start, in the user's terms.
std::string startFailure() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::string_view(platform).substr(0, 3) != "xcb")
        return std::string("cannot start the window system \"") + platform + '"';
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return "DISPLAY is not set";
    return std::string("cannot open display \"") + display + '"';
}

} // namespace

std::string DisplayGuard::missingDisplay() {
    if (!kAppliesHere)
        return {};
    // A platform asked for by name (offscreen, vnc, ...) may need no display at all.
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return {};
    return std::string("no display available (DISPLAY is not set); ") + kHowToGetOne;
}

DisplayGuard::DisplayGuard()
    : m_previous(kAppliesHere ? qInstallMessageHandler(&DisplayGuard::handleMessage) : nullptr) {}

DisplayGuard::~DisplayGuard() {
    if (!kAppliesHere)
        return;
    qInstallMessageHandler(m_previous);
    for (const Held& held : s_held) {
        const QMessageLogContext context(cString(held.file), held.line, cString(held.function),
                                         cString(held.category));
        m_previous(held.type, context, held.message);
    }
    s_held.clear();
}

void DisplayGuard::handleMessage(QtMsgType type, const QMessageLogContext& context,
                                 const QString& message) {
    if (type == QtFatalMsg) {
        // Only the start-up of the window system fails fatally here; its several lines of
        // diagnostics would bury the one thing the user needs to know.
        std::fprintf(stderr, "rotavel-motion: no display available (%s); %s\n",
                     startFailure().c_str(), kHowToGetOne);
        std::fflush(stderr);
        std::_Exit(1);
    }
    s_held.push_back({type, copy(context.category), copy(context.file), copy(context.function),
                      context.line, message});
}

} // namespace rotavel::app
