#include "host/locks.h"

std::mutex datalock;
std::mutex threadDataLock;
