// A pause point for tests of races between two processes: where
// TARVELLE_TEST_STOP names the point, the process stops itself (SIGSTOP)
// there, so a test can act at that exact moment and then let it go on with
// SIGCONT. It gives the caller nothing it could not do with a debugger; root
// never reads it, as a stop there would hold the port and its locks.
#pragma once

void test_stop(const char* point);
