#pragma once
// The three option boxes of the main panel. Each commit stores the box in its option and in
// cfg.ini at once. QCN-only needs backup/restore, so turning one on or the other off pulls the
// other box along.

// The operator committed the box with the new value `checked`. Each returns 0.
int fnBackupQcn(bool checked);
int fnOnlyAP(bool checked);
int fnOnlyQCN(bool checked);
