// Placeholder until the downloader lands.
int main() { return 1; }
