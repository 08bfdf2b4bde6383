#pragma once

namespace zolven {

// Keeps Qt Quick from loading the graphics driver before the window is first shown. Call
// prepareGraphics right before the main document creates its window, and
// restoreGraphicsEnvironment right after, so that programs started later inherit the user's
// environment, not ours. Settings the user made are left alone.
void prepareGraphics();
void restoreGraphicsEnvironment();

} // namespace zolven
