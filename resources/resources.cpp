// Holds the compiled resources; nothing of its own.
