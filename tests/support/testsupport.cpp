// placeholder until the scripted line lands
