#pragma once

// Whether this program is a test or demo build that honours the developer
// overrides in the environment (the update server's address). Each program
// links one answer: the release program says no, so no process of the user's
// can steer the elevated program through its environment.
bool DeveloperOverridesAllowed();
