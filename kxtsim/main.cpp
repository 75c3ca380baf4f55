// Placeholder until the simulated module lands.
int main() { return 1; }
