# The release: its version, and the date its files carry (archive entries,
# the DLLs' header), so that two builds of one commit give the same bytes.
set(VP_VERSION 1.0.0)
set(VP_RELEASE_DATE 2026-12-08T00:00:00Z)
set(VP_RELEASE_EPOCH 1796688000)  # the same date in seconds since 1970
