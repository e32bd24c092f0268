// The loading screen shown while the start-up script runs: the background, the plate, the
// turning horses and the cycling "loading" text, placed around the screen's centre.
#pragma once

class Resources;
class RootItem;

namespace game {

// Adds the screen's four actors to root, their images taken from resources (a list loaded
// from "configs/loading.xml"). An image missing from a list that loaded is logged; the
// screen is drawn without it.
void BuildLoadingScreen(RootItem& root, Resources& resources);

}  // namespace game
