// (built in a later step)
