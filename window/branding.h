#pragma once

#include <QString>

// The maker texts a distributor may brand: the title bar, the logo line and the support line.
namespace tuner::branding {

inline QString TitleBar() {
    return QStringLiteral("dccd-tuner.example.org 2026");
}

inline QString Logo() {
    return QStringLiteral("dccd-tuner.example.org");
}

inline QString SupportLine() {
    return QStringLiteral("Support: support@dccd-tuner.example.org");
}

} // namespace tuner::branding
