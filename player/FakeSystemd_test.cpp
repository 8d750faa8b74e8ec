// A libsystemd.so.0 that has none of sd-bus's functions.
int jarvetFakeSystemd = 0;
