// Placeholder until the register editor lands.
int main() { return 1; }
