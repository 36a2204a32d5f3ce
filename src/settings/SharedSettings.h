#pragma once
// The shared settings suite and its keys, used by both deliverables.
//
// sharedSuite() is the suite named appGroupIdentifier(): both deliverables of one user
// open the same store through it. The host writes the keys; the extension reads them
// afresh for every preview.
//
//   Key                      Type  Default  Meaning
//   "transparentBackground"  bool  false    true: previews convert to PNG with alpha
//   "logToFile"              bool  false    true: the extension appends to "Preview.log"
//
// Each is created on first use, once per process (which first opens the suite), and
// registers its default false in the suite's registration domain, so the plain suite
// answers false for a key never written once the key exists in the process.
// No other key is written to this suite.
//
// Thread-safety: each of the three is built once under thread-safe static
// initialisation (concurrent first callers wait); afterwards they are immutable and may be
// used from any thread. A process whose bundle cannot form the identifier stops at the
// first call (see AppGroup.h).

#include <memory>

#include "settings/Suite.h"
#include "settings/Prefs.h"

namespace vorrel {

std::shared_ptr<platform::Suite> sharedSuite();

const Prefs::Key<bool>& transparentBackground();
const Prefs::Key<bool>& logToFile();

}  // namespace vorrel
