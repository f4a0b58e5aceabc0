#pragma once

// Makes the C library hand large freed blocks (128 KB and up) straight back
// to the system. By default it raises that bound to the largest block ever
// freed, so after a login storm the hub's queues for nick lists would stay
// resident for the life of the process.
void ReturnLargeBlocksToSystem();
