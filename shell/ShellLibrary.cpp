// Keeps the shell library non-empty while its first classes are written.
