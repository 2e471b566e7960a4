#pragma once

// The one start-up of GMime in the process, shared by every file of this
// folder that uses the library, so that two jobs starting at once on two
// threads never initialise it twice.

namespace postloom::mime {

void InitGMime();

}  // namespace postloom::mime
