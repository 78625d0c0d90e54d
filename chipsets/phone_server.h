#pragma once
// The vendor phone server holds the diagnostic ports while it runs; a procedure ends it by
// name before it opens the module's ports itself.

// Ends the phone server without waiting for it to go (the procedures wait a fixed time after
// this). The command line an operator would type for the same is written to standard error.
void stopPhoneServer();
