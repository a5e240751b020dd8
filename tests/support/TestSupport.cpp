// Shared test helpers; see the headers beside this file:
//   TempDir.h                 temporary directories, file writing, tree snapshots
//   RecordingMessageBoxes.h   the recording message-box fake and its scoped installer
//   FakeClock.h               a settable clock and its scoped installer
//   FaultyFileSystem.h        counting, failing file system and the scoped file-system installer
