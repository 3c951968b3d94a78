// The installer's exit codes, for the publisher's bundles and silent deployment scripts that
// start it (README.md, "Command line", lists them). 0 says the game is installed, or that
// there was nothing for this start to do; each way a run ends without the game has its own
// code. Plain constants; any thread.
#pragma once

namespace exit_code {

// The package ran to its end (even where the player quit while it unpacked), the player
// chose to start the earlier install's launcher, or another installer runs and this one
// ended at once.
constexpr int kInstalled = 0;
// The install window could not be made.
constexpr int kNoWindow = 1;
// The player quit before the package ran (the window closed by any other means counts too).
constexpr int kQuit = 2;
// Hidden mode gave up after its automatic retries: no server, no manifest it could use, or a
// page (a captive portal's) in place of the files.
constexpr int kGaveUp = 3;
// Hidden mode: the package differs from the manifest's digest, cannot be started, or hung
// (CInstallWorker::kPackageIdleLimitMs).
constexpr int kPackageUnusable = 4;
// Hidden mode: no folder to install into (beside the installer, nor on a drive with room).
constexpr int kNoFolder = 5;

}  // namespace exit_code
